#include "app/board_commands.h"

#include <ctime>

#include "app/pump.h"
#include "app/readback.h"
#include "app/session.h"
#include "ui/log.h"

namespace {

// How long a board may take to answer the end of program entry (writing its flash) before
// RUN goes or the save is judged.
constexpr int kSaveWaitMs = 30000;

Text TwoDigits(int v) {
    Text t = DecimalText(v);
    return t.size() < 2 ? u"0" + t : t;
}

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts = *std::localtime(&now);
    return parts;
}

// date$ = "dd/mm/yyyy": time$ = "hh:mm:ss" from the PC's local clock, the date part and the
// time part read separately.
Text DateTimeCommand() {
    std::tm d = LocalNow();
    Text date = TwoDigits(d.tm_mday) + u"/" + TwoDigits(d.tm_mon + 1) + u"/" +
                DecimalText(d.tm_year + 1900);
    std::tm t = LocalNow();
    Text time = TwoDigits(t.tm_hour) + u":" + TwoDigits(t.tm_min) + u":" + TwoDigits(t.tm_sec);
    return u"date$ = \"" + date + u"\": time$ = \"" + time + u"\"";
}

Text RtcCommand() {
    std::tm n = LocalNow();
    return u"RTC SETTIME " + DecimalText(n.tm_year + 1900) + u", " + TwoDigits(n.tm_mon + 1) +
           u", " + TwoDigits(n.tm_mday) + u", " + TwoDigits(n.tm_hour) + u", " +
           TwoDigits(n.tm_min) + u", " + TwoDigits(n.tm_sec);
}

// RUN, its reply logged; or, when a console follows the job, sent without a wait so that
// the console shows all of the reply as it comes.
void SendRun(Session& s) {
    if (s.App.RunReplyToConsole) {
        // The console shows the reply, and a write that failed shows as none there.
        SendText(s, u"RUN\r\n");
        return;
    }
    AppendLog(s, Exchange(s, u"RUN\r\n", LineDelays(s, 20), Until::PromptAtEnd));
    PumpEvents(s);
}

// A board may still be writing its flash when the end sequence's wait is over. When RUN
// follows, or the board confirms saves, its answer is read on up to the prompt.
bool AwaitsSaveAnswer(const Session& s) {
    return !s.App.EndSequence.empty() && s.Job.Heard.Echoed && (!s.App.NoRun || s.App.ConfirmsSave);
}

// Reads on until the reply ends with the prompt, at most kSaveWaitMs. False when a Cancel or
// a stop ended the wait.
bool ReadOnToPrompt(Session& s, Text& reply) {
    const int64_t end = s.Time.ElapsedMs() + kSaveWaitMs;
    while (!EndsWithPrompt(reply) && s.Time.ElapsedMs() < end) {
        if (s.App.Fast) {
            if (AwaitInputPumping(s, kPollStepMs)) reply += ReadPendingInput(s);
        } else {
            DelayPumping(s, kPollStepMs);
            reply += ReadPendingInput(s);
        }
        if (PumpEvents(s) || StopRequested(s)) return false;
    }
    return true;
}

// Why the board's answer to the end sequence shows that nothing was saved.
Text NotSavedLine(const Session& s, const Text& reply) {
    if (!EndsWithPrompt(reply))
        return u"The board did not confirm the save within " + DecimalText(kSaveWaitMs / 1000) +
               u" s: the program may not be stored";
    Text line = u"The board left program entry without saving the program";
    if (s.App.EndSequence == CtrlC())
        line +=
            u": Ctrl-C abandons program entry on this board (the picomite device type "
            u"ends it with Ctrl-Z)";
    return line;
}

}  // namespace

Text CtrlC() {
    return Text(1, kCtrlC);
}

int LineDelays(const Session& s, int n) {
    long long ms = static_cast<long long>(n) * s.App.LineDelay;
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

Text Exchange(Session& s, TextView text, int wait) {
    return SendAndWait(s, text, wait, s.App.LineDelay);
}

Text Exchange(Session& s, TextView text, int wait, Until until) {
    if (!s.App.Fast) return Exchange(s, text, wait);
    int limit = wait > 0                  ? wait
                : wait == kWaitForLineEnd ? kLineEndPolls * kPollStepMs
                                          : kPromptPolls * kPollStepMs;
    return SendAndWaitUntil(s, text, until, limit);
}

void LogAndPump(Session& s, TextView text) {
    AppendLog(s, text);
    PumpEvents(s);
}

// Answers the board's PIN prompt. False when the upload must stop. `known` is the PIN a
// try before this one gave: a further try answers with it instead of asking again.
bool AnswerPin(Session& s, Text& known) {
    Text pin = u"no";
    Text reply = Exchange(s, CtrlC(), LineDelays(s, 3), Until::PromptOrPin);
    s.Job.Heard.BeforeLines = !reply.empty();
    if (Contains(LowerText(reply), u"enter pin or 0 to restart:") && !StopRequested(s)) {
        pin = known.empty() ? s.Front.AskInput(u"PIN required!", u"Enter security PIN", u"", true)
                            : known;
        if (!pin.empty()) {
            LogAndPump(s, u"Sending PIN");
            reply = Exchange(s, pin + u"\r\n", LineDelays(s, 3));
            bool accepted = false;
            for (int check = 1; check <= 20; ++check) {
                if (Contains(reply, u">")) {
                    accepted = true;
                    break;
                }
                if (Contains(reply, u"PIN") || check == 20 || StopRequested(s)) break;
                DelayPumping(s, LineDelays(s, 3));
                reply = ReadPendingInput(s);
            }
            if (accepted) {
                AppendLog(s, u"PIN accepted");
                known = pin;
            } else if (!StopRequested(s)) {
                AppendLog(s, u"Wrong PIN");
                pin.clear();
            }
        }
    }
    PumpEvents(s);
    if (pin.empty() && !StopRequested(s)) {
        AppendLog(s, u"Aborting upload");
        return false;
    }
    return !StopRequested(s);
}

// In fast mode a command ends once the board settled at the prompt after its answer (a
// command ending CR LF may get two). A start of program entry ends at its echo's line end in
// both modes (the command profile has none: its empty start gets a prompt).
void SendCommandAndLog(Session& s, const Text& command, int wait) {
    bool toLineEnd = wait == kWaitForLineEnd && s.App.Entry != ProgramEntry::AtPrompt;
    Text reply = toLineEnd ? SendStartCommand(s, command, s.App.Fast)
                           : Exchange(s, command + u"\r\n", wait, Until::PromptSettled);
    if (!reply.empty()) s.Job.Heard.BeforeLines = true;
    AppendLog(s, reply);
    PumpEvents(s);
}

// NEW, the clock commands and the start of program entry; a stop asked for meanwhile ends
// it at once.
void PrepareBoard(Session& s) {
    if (!s.App.NoNew) SendCommandAndLog(s, u"NEW", kWaitForPrompt);
    if (s.App.SetTime && !StopRequested(s)) {
        LogAndPump(s, u"Setting clock");
        SendCommandAndLog(s, DateTimeCommand(), kWaitForPrompt);
    }
    if (s.App.SetRtc && !StopRequested(s)) {
        LogAndPump(s, u"Setting RTC");
        SendCommandAndLog(s, RtcCommand(), kWaitForPrompt);
    }
    if (!StopRequested(s) && !s.App.ViaXmodem)
        SendCommandAndLog(s, s.App.StartCommand, kWaitForLineEnd);
}

// After the program is stored: the check of what the board keeps when asked for, then RUN
// when `runs`; a program that was not verified is not run.
JobOutcome VerifyAndRun(Session& s, bool runs) {
    if (s.App.Verify) {
        JobOutcome verified = VerifyStoredProgram(s);
        if (verified != JobOutcome::Completed) return verified;
    }
    AppendLog(s, u"");
    PumpEvents(s);
    if (runs && !StopRequested(s)) SendRun(s);
    return JobOutcome::Completed;
}

// Ends program entry, waits for the save when the board is still at it, verifies the stored
// program when asked to, and runs it; a program that was not saved or not verified is not
// run.
JobOutcome EndProgramEntry(Session& s) {
    // In fast mode an empty end sequence has nothing to wait for.
    Text reply = s.App.Fast && s.App.EndSequence.empty()
                     ? Text()
                     : Exchange(s, s.App.EndSequence, LineDelays(s, 10), Until::PromptAtEnd);
    if (StopRequested(s)) return JobOutcome::Aborted;
    bool readOn = AwaitsSaveAnswer(s) && !EndsWithPrompt(reply);
    if (readOn && !ReadOnToPrompt(s, reply)) {
        AppendLog(s, reply);
        return JobOutcome::Aborted;
    }
    if (s.App.ConfirmsSave && s.Job.Heard.Echoed && !Contains(reply, u"Saved")) {
        AppendLog(s, reply);
        LogAndPump(s, NotSavedLine(s, reply));
        return JobOutcome::BoardDidNotSave;
    }
    if (!s.App.EndSequence.empty()) {
        AppendLog(s, reply);
        AppendLog(s, s.App.CompletedMessage);
    }
    return VerifyAndRun(s, !s.App.NoRun);
}

// A stop asked for at any moment: Ctrl-C to the board, which the ending wait does not hold
// up, and a line that says so.
JobOutcome StopUpload(Session& s) {
    if (s.Port.IsOpen()) Exchange(s, CtrlC(), LineDelays(s, 10));
    AppendLog(s, u"Upload cancelled");
    return JobOutcome::Aborted;
}
