#include "app/readback.h"

#include <optional>

#include "app/connect.h"
#include "app/pump.h"
#include "app/session.h"
#include "link/sendwait.h"
#include "link/xmodem_receive.h"
#include "source/files.h"
#include "source/program.h"
#include "ui/log.h"

namespace {

constexpr size_t kQuoteLength = 60;

struct NumberedLine {
    long Number;
    Text Line;
};

// A line as compared: blanks and TABs at both ends dropped, every run of blanks one space, and
// letters outside double quotes lowercased.
Text Comparable(TextView line) {
    Text out;
    bool quoted = false, blank = false;
    for (char16_t ch : line) {
        if (ch == u'\t' || ch == u' ') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += u' ';
        blank = false;
        if (ch == u'"') quoted = !quoted;
        out += quoted ? Text(1, ch) : LowerText(Text(1, ch));
    }
    return out;
}

std::vector<NumberedLine> NonBlank(const std::vector<Text>& lines) {
    std::vector<NumberedLine> out;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!TrimBlanks(lines[i]).empty()) out.push_back({static_cast<long>(i + 1), lines[i]});
    return out;
}

Text Quote(TextView line) {
    Text t = TrimBlanks(line);
    return u"\"" + (t.size() > kQuoteLength ? t.substr(0, kQuoteLength) + u"..." : t) + u"\"";
}

// The program lines as they went to the board: trimmed, without echo and options lines.
std::vector<Text> SentLines(const Session& s) {
    std::vector<Text> sent;
    for (const Text& line : WalkLines(s.App.ProgramText)) {
        Text t = TrimBlanks(line);
        if (!IsEchoLine(t) && !IsOnloadLine(t)) sent.push_back(t);
    }
    return sent;
}

JobOutcome OutcomeOfReceive(ReceiveOutcome outcome) {
    switch (outcome) {
        case ReceiveOutcome::Completed:
            return JobOutcome::Completed;
        case ReceiveOutcome::Refused:
            return JobOutcome::NotOnBoard;
        case ReceiveOutcome::Cancelled:
            return JobOutcome::Aborted;
        case ReceiveOutcome::Failed:
        case ReceiveOutcome::NoStart:
            break;
    }
    return JobOutcome::TransferFailed;
}

}  // namespace

std::vector<Text> StoredTextDifferences(const std::vector<Text>& sentLines, TextView stored,
                                        size_t limit) {
    std::vector<NumberedLine> sent = NonBlank(sentLines);
    std::vector<NumberedLine> kept = NonBlank(WalkLines(stored));
    std::vector<Text> out;
    size_t i = 0;
    for (; i < sent.size() && i < kept.size() && out.size() < limit; ++i)
        if (Comparable(sent[i].Line) != Comparable(kept[i].Line))
            out.push_back(u"Line " + DecimalText(sent[i].Number) + u" differs: sent " +
                          Quote(sent[i].Line) + u", the board has " + Quote(kept[i].Line));
    if (out.size() < limit && i == kept.size() && i < sent.size())
        out.push_back(u"Line " + DecimalText(sent[i].Number) + u" is missing on the board" +
                      (sent.size() - i > 1
                           ? u", and " + DecimalText(static_cast<long long>(sent.size() - i - 1)) +
                                 u" lines after it"
                           : Text()) +
                      u": " + Quote(sent[i].Line));
    if (out.size() < limit && i == sent.size() && i < kept.size())
        out.push_back(u"The board has " + DecimalText(static_cast<long long>(kept.size() - i)) +
                      u" lines more than were sent, from " + Quote(kept[i].Line));
    return out;
}

JobOutcome VerifyStoredProgram(Session& s) {
    if (s.App.Entry == ProgramEntry::AtPrompt) {
        AppendLog(s, u"Not verified: this board type keeps no program to read back");
        return JobOutcome::NotVerified;
    }
    // A profile whose end sequence also runs the program: it is stopped first.
    SendAndWaitUntil(s, Text(1, kCtrlC), Until::PromptAtEnd, kPromptPolls * kPollStepMs);
    bool named = s.App.Entry == ProgramEntry::NamedAutosave;
    ReceivedFile got = ReceiveFileByXmodem(s, named ? s.App.TargetName : Text());
    PumpEvents(s);
    if (got.Outcome != ReceiveOutcome::Completed) {
        if (got.Outcome == ReceiveOutcome::Cancelled) return JobOutcome::Aborted;
        AppendLog(s, u"Not verified: the stored program could not be read back");
        return JobOutcome::NotVerified;
    }
    std::vector<Text> differences = StoredTextDifferences(SentLines(s), TextFromAnsi(got.Bytes));
    for (const Text& line : differences)
        AppendLog(s, line);
    if (!differences.empty()) {
        AppendLog(s, u"Verify failed: the board stored something else than was sent");
        return JobOutcome::Differs;
    }
    AppendLog(s, u"Verified: the board stored the program as sent");
    return JobOutcome::Completed;
}

JobOutcome VerifyStoredFile(Session& s, TextView path, TextView name) {
    std::optional<std::string> sent = ReadWholeFile(path);
    ReceivedFile got = ReceiveFileByXmodem(s, name);
    PumpEvents(s);
    if (got.Outcome == ReceiveOutcome::Cancelled) return JobOutcome::Aborted;
    if (!sent || got.Outcome != ReceiveOutcome::Completed) {
        AppendLog(s, u"Not verified: the stored file could not be read back");
        return JobOutcome::NotVerified;
    }
    // The board's copy holds whole blocks padded with zero bytes, as the read-back drops them.
    size_t keep = sent->size();
    const size_t lastBlock = keep == 0 ? 0 : (keep - 1) / 128 * 128;
    while (keep > lastBlock && (*sent)[keep - 1] == '\0')
        --keep;
    sent->resize(keep);
    if (got.Bytes == *sent) {
        AppendLog(s, u"Verified: the board stored the file as sent");
        return JobOutcome::Completed;
    }
    size_t at = 0;
    while (at < sent->size() && at < got.Bytes.size() && (*sent)[at] == got.Bytes[at])
        ++at;
    AppendLog(s, u"Verify failed: the board's copy differs from byte " +
                     DecimalText(static_cast<long long>(at)) + u" on (" +
                     DecimalText(static_cast<long long>(got.Bytes.size())) + u" bytes read back, " +
                     DecimalText(static_cast<long long>(sent->size())) + u" sent)");
    return JobOutcome::Differs;
}

JobOutcome GetFileFromBoard(Session& s, TextView name, TextView target, bool mayReplace) {
    ForgetCancel(s);
    if (Text problem = BoardFileNameRefusal(name); !problem.empty()) {
        AppendLog(s, problem);
        return JobOutcome::TransferFailed;
    }
    JobOutcome outcome = JobOutcome::NoPort;
    if (ConnectBoard(s)) {
        if (!ReachBoardPrompt(s)) {
            outcome = StopRequested(s) ? JobOutcome::Aborted : JobOutcome::WrongPin;
        } else {
            ReceivedFile got = ReceiveFileByXmodem(s, name);
            outcome = OutcomeOfReceive(got.Outcome);
            if (outcome == JobOutcome::Completed) {
                // Looked at again now: the file may have come into being meanwhile.
                if (!mayReplace && FileExists(target)) {
                    AppendLog(s, Text(target) + u" exists; it was not replaced");
                    outcome = JobOutcome::NotSaved;
                } else if (!ReplaceFileAtomically(target, got.Bytes)) {
                    AppendLog(s, u"Cannot write " + Text(target));
                    outcome = JobOutcome::NotSaved;
                } else {
                    AppendLog(s, u"Written to " + Text(target));
                }
            }
        }
        FinishJob(s);
    }
    return outcome;
}
