#include "app/stream.h"

#include <algorithm>
#include <memory>

#include "app/board_commands.h"
#include "app/pump.h"
#include "app/session.h"
#include "link/echo.h"
#include "link/pacing.h"
#include "link/sendwait.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

constexpr size_t kLineQuoteLength = 40;  // how much of a program line a log line quotes
// The progress label and the pump follow every this many lines.
constexpr size_t kProgressEvery = 10;

// A program line's first characters, as a log line quotes it.
Text QuoteOfLine(const Text& line) {
    Text quote = line.substr(0, kLineQuoteLength);
    if (line.size() > kLineQuoteLength) quote += u"...";
    return quote;
}

// A program line that goes to the board: neither an echo directive nor the options line.
bool IsSentLine(const Text& line) {
    return !IsEchoLine(line) && !IsOnloadLine(line);
}

// How lines go out and when the next one may follow.
class LinePacing {
public:
    virtual ~LinePacing() = default;
    // Sends line `number` (1-based index into `lines`, already trimmed as `line`) and waits
    // for its verdict.
    virtual EchoVerdict Send(Session& s, const std::vector<Text>& lines, size_t number,
                             const Text& line, EchoCheck& check) = 0;
    // The streaming ends before its last line.
    virtual void Abandon(Session&) {}
};

// The `command` profile types the lines at the prompt: each one's answer is what the user
// wants to see, and a line without even the echo of its line end counts as not echoed.
class AtPromptPacing final : public LinePacing {
public:
    EchoVerdict Send(Session& s, const std::vector<Text>&, size_t, const Text& line,
                     EchoCheck& check) override {
        Text reply = Exchange(s, line + u"\r\n", kWaitForPrompt, Until::PromptSettled);
        if (!Contains(reply, u"\n")) ++check.Unechoed;
        AppendLog(s, reply);
        return EchoVerdict::Echoed;
    }
};

// Program entry on the fixed polls: each line waits for its echo, 20 ms a look.
class PolledPacing final : public LinePacing {
public:
    EchoVerdict Send(Session& s, const std::vector<Text>&, size_t number, const Text& line,
                     EchoCheck& check) override {
        return SendLineChecked(s, line, static_cast<long>(number), check);
    }
};

// Fast mode: each line goes the moment the one before was echoed and checked, the start of
// the next going ahead of it.
class FastPacing final : public LinePacing {
public:
    explicit FastPacing(const Session& s) {
        long long baud = LeadingNumber(s.App.SerialSpeed);
        pacer_.ByteTimeUs = baud > 0 ? 10000000 / baud : 0;
    }
    EchoVerdict Send(Session& s, const std::vector<Text>& lines, size_t number, const Text& line,
                     EchoCheck& check) override {
        nextSent_ = std::max(nextSent_, number);
        while (nextSent_ < lines.size() && !IsSentLine(TrimBlanks(lines[nextSent_])))
            ++nextSent_;
        Text next = nextSent_ < lines.size() ? TrimBlanks(lines[nextSent_]) : Text();
        return SendLineFast(s, line, static_cast<long>(number), next, check, pacer_);
    }
    void Abandon(Session& s) override { WithdrawAhead(s, pacer_); }

private:
    LinePacer pacer_;
    size_t nextSent_ = 0;  // index of the next line that goes to the board
};

// The pacing the session's profile and mode ask for. The command profile's lines are
// commands at the prompt, not program entry's echoes, in fast mode too.
std::unique_ptr<LinePacing> PacingOf(const Session& s) {
    if (s.App.Entry == ProgramEntry::AtPrompt) return std::make_unique<AtPromptPacing>();
    if (s.App.Fast) return std::make_unique<FastPacing>(s);
    return std::make_unique<PolledPacing>();
}

// The board's words beyond the echo, and which line it turned down.
void LogRejection(Session& s, const EchoCheck& check, EchoVerdict verdict,
                  const std::vector<Text>& lines) {
    AppendLog(s, check.Words);
    Text line = TrimBlanks(lines[static_cast<size_t>(check.WordsLine) - 1]);
    AppendLog(s, (verdict == EchoVerdict::Error ? u"The board rejected "
                                                : u"The board left program entry at ") +
                     NameOfLine(check.WordsLine, line));
}

// A line the board took wrongly: which, and what the board kept instead.
void LogGarbled(Session& s, const EchoCheck& check, const std::vector<Text>& lines) {
    Text line = TrimBlanks(lines[static_cast<size_t>(check.Line) - 1]);
    AppendLog(s, u"Line " + DecimalText(check.Line) + u" was garbled: " + QuoteOfLine(line));
    AppendLog(s, u"The board echoed instead: " + check.Garbled);
}

// After a line went out: a stop, a vanished port, the board's refusal or a garbled echo ends
// the streaming. Then no further line goes out: Ctrl-C, which ends program entry without
// saving, the board's words or echo, and which line it was.
StreamEnd AfterLine(Session& s, EchoVerdict verdict, const EchoCheck& check,
                    const std::vector<Text>& lines) {
    if (StopRequested(s)) return StreamEnd::Stopped;
    // A board that is unplugged will never echo again: stop instead of waiting out every
    // remaining line and then reporting success.
    if (s.Port.Vanished()) return StreamEnd::Vanished;
    // The end sequence would save the damaged program and RUN would start it.
    if (verdict == EchoVerdict::Garbled) {
        s.Job.Heard.GarbledLine = check.Line;
        Exchange(s, CtrlC(), LineDelays(s, 10));
        LogGarbled(s, check, lines);
        // AUTO takes each line into the program as it comes and Ctrl-C only ends it: the
        // damaged program would stay in memory.
        if (s.App.Entry == ProgramEntry::Auto) SendCommandAndLog(s, u"NEW", kWaitForPrompt);
        return StreamEnd::Garbled;
    }
    // A board that turned a line down has left program entry: every further line would run
    // as a command.
    if (verdict != EchoVerdict::Error && verdict != EchoVerdict::Prompt) return StreamEnd::Done;
    Exchange(s, CtrlC(), LineDelays(s, 10));
    LogRejection(s, check, verdict, lines);
    return StreamEnd::Rejected;
}

}  // namespace

Text NameOfLine(long number, const Text& line) {
    return u"line " + DecimalText(number) + u": " + QuoteOfLine(line);
}

StreamEnd StreamProgram(Session& s) {
    std::vector<Text> lines = WalkLines(s.App.ProgramText);
    std::unique_ptr<LinePacing> pacing = PacingOf(s);
    const long count = static_cast<long>(lines.size());
    SetProgress(s, 1, count);
    EchoCheck check;
    for (size_t i = 1; i <= lines.size(); ++i) {
        Text line = TrimBlanks(lines[i - 1]);
        if (IsEchoLine(line)) {
            AppendLog(s, EchoLineText(line));
        } else if (!IsOnloadLine(line)) {
            EchoVerdict verdict = pacing->Send(s, lines, i, line, check);
            Hearing& heard = s.Job.Heard;
            heard.Unechoed = check.Unechoed;
            heard.Echoed = heard.Echoed || verdict == EchoVerdict::Echoed;
            heard.FirstUnechoed = check.FirstUnechoed;
            StreamEnd end = AfterLine(s, verdict, check, lines);
            if (end != StreamEnd::Done) {
                pacing->Abandon(s);
                return end;
            }
        }
        if (i % kProgressEvery == 0) {
            SetProgress(s, static_cast<long>(i), count);
            if (PumpEvents(s)) {
                pacing->Abandon(s);
                return StreamEnd::Cancelled;
            }
        }
    }
    return StreamEnd::Done;
}
