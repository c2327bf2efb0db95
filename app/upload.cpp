#include "app/upload.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "app/connect.h"
#include "app/options.h"
#include "app/profiles.h"
#include "app/program_files.h"
#include "app/pump.h"
#include "app/readback.h"
#include "app/state.h"
#include "link/clock.h"
#include "link/pacing.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "link/xmodem.h"
#include "source/crunch.h"
#include "source/files.h"
#include "source/firmware.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

JobOutcome lastOutcome = JobOutcome::Completed;
bool keepPort = false;

// What the board said during one upload, beyond the log.
struct Hearing {
    bool BeforeLines = false;  // anything at all came before the first program line
    long Unechoed = 0;         // program lines whose echo never came
    bool Echoed = false;       // some program line was echoed whole: the board is in entry
    long FirstUnechoed = 0;    // the first of them
    long GarbledLine = 0;      // the line whose echo showed the board took it wrongly
};
Hearing heard;

constexpr size_t kLineQuoteLength = 40;  // how much of a program line a log line quotes

// How long a board may take to answer the end of program entry (writing its flash) before
// RUN goes or the save is judged.
constexpr int kSaveWaitMs = 30000;

// The longest file name the board's FAT file system takes.
constexpr long long kLongestBoardFileName = 255;

Text CtrlC() {
    return Text(1, kCtrlC);
}

// A wait of n line delays. A hand-edited LineDelay can be huge; the wait saturates instead
// of overflowing.
int LineDelays(int n) {
    long long ms = static_cast<long long>(n) * App.LineDelay;
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

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

// One exchange with the board, its waits letting the window run.
Text Exchange(TextView text, int wait) {
    return SendAndWait(text, wait, App.LineDelay, WindowLinkHooks());
}

// An exchange that fast mode speeds up: by default as above, with its fixed wait or 20 ms
// polls; in fast mode the reply is taken as it arrives and the exchange ends when `until`
// holds, with the default's whole wait as its limit.
Text Exchange(TextView text, int wait, Until until) {
    if (!App.Fast) return Exchange(text, wait);
    int limit = wait > 0                  ? wait
                : wait == kWaitForLineEnd ? kLineEndPolls * kPollStepMs
                                          : kPromptPolls * kPollStepMs;
    return SendAndWaitUntil(text, until, limit, WindowLinkHooks());
}

void Log(TextView text) {
    AppendLog(text);
    PumpEvents();
}

// The "'encode" first line: crunch when it says so, then encipher and save.
void RunEncodePath(const Text& firstLine) {
    if (Contains(firstLine, u"crunch")) {
        Log(u"Crunching source code.");
        App.ProgramText = Crunch(DropFirstLine(App.ProgramText));
    } else {
        App.ProgramText = DropFirstLine(App.ProgramText);
    }
    Log(u"Encoding source code.");
    lastOutcome = EncodeAndSave(App.ProgramText) ? JobOutcome::Completed : JobOutcome::NotSaved;
    Log(u"Encoding completed.");
}

// Why a file name cannot go to the board inside a quoted command, as a log line; empty when
// it can. A double quote would end the name and let the rest run as commands; a control
// character or a character the code page lacks would reach the board's file system garbled.
Text BoardFileNameProblem(TextView name) {
    const Text refused = u"Not sent: the board cannot take the file name " + Text(name);
    if (Contains(name, u"\"")) return refused + u" (it holds a double quote).";
    for (char16_t c : name)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return refused + u" (it holds control characters).";
    if (TextFromAnsi(AnsiFromText(name)) != name)
        return refused + u" (it holds characters outside the code page).";
    if (name.size() > kLongestBoardFileName)
        return refused + u" (longer than " + DecimalText(kLongestBoardFileName) +
               u" characters, more than the board's file system holds).";
    return Text();
}

void ResetProfileFields() {
    App.NoRun = false;
    App.SetTime = false;
    App.SetRtc = false;
    App.NoNew = false;
    App.Fast = App.FastAlways;
    App.ViaXmodem = App.XmodemAlways;
    UseProfile(kDefaultProfile, false);
}

// The options line of this upload: the program's own "'onload" line, the device-type box,
// or the chosen collection entry.
void ChooseSettings() {
    if (IsOptionsFirstLine(App.ProgramText)) {
        App.ProgramText = ApplyOptionsLine(App.ProgramText);
    } else if (Window.CollectionEntry == kManualEntry) {
        Log(u"Uploading using default settings");
        ApplyDeviceProfile();
    } else {
        CollectionEntryParts entry = SplitCollectionEntry(Window.CollectionEntry);
        Log(u"Uploading using " + entry.Name + u" settings");
        App.ProgramText = ApplyOptionsLine(entry.Options + u"\r\n" + App.ProgramText);
    }
}

// Answers the board's PIN prompt. False when the upload must stop. `known` is the PIN a
// try before this one gave: a further try answers with it instead of asking again.
bool AnswerPin(Text& known) {
    Text pin = u"no";
    Text reply = Exchange(CtrlC(), LineDelays(3), Until::PromptOrPin);
    heard.BeforeLines = !reply.empty();
    if (Contains(LowerText(reply), u"enter pin or 0 to restart:") && !StopRequested()) {
        pin = known.empty() ? AskInput(u"PIN required!", u"Enter security PIN", u"", true) : known;
        if (!pin.empty()) {
            Log(u"Sending PIN");
            reply = Exchange(pin + u"\r\n", LineDelays(3));
            bool accepted = false;
            for (int check = 1; check <= 20; ++check) {
                if (Contains(reply, u">")) {
                    accepted = true;
                    break;
                }
                if (Contains(reply, u"PIN") || check == 20 || StopRequested()) break;
                DelayPumping(LineDelays(3));
                reply = ReadPendingInput();
            }
            if (accepted) {
                AppendLog(u"PIN accepted");
                known = pin;
            } else if (!StopRequested()) {
                AppendLog(u"Wrong PIN");
                pin.clear();
            }
        }
    }
    PumpEvents();
    if (pin.empty() && !StopRequested()) {
        AppendLog(u"Aborting upload");
        return false;
    }
    return !StopRequested();
}

// In fast mode a command ends once the board settled at the prompt after its answer (a
// command ending CR LF may get two). A start of program entry ends at its echo's line end in
// both modes (the command profile has none: its empty start gets a prompt).
void SendCommandAndLog(const Text& command, int wait) {
    bool toLineEnd = wait == kWaitForLineEnd && !App.StartCommand.empty();
    Text reply = toLineEnd ? SendStartCommand(command, App.Fast, WindowLinkHooks())
                           : Exchange(command + u"\r\n", wait, Until::PromptSettled);
    if (!reply.empty()) heard.BeforeLines = true;
    AppendLog(reply);
    PumpEvents();
}

// NEW, the clock commands and the start of program entry; a stop asked for meanwhile ends
// it at once.
void PrepareBoard() {
    if (!App.NoNew) SendCommandAndLog(u"NEW", kWaitForPrompt);
    if (App.SetTime && !StopRequested()) {
        Log(u"Setting clock");
        SendCommandAndLog(DateTimeCommand(), kWaitForPrompt);
    }
    if (App.SetRtc && !StopRequested()) {
        Log(u"Setting RTC");
        SendCommandAndLog(RtcCommand(), kWaitForPrompt);
    }
    if (!StopRequested() && !App.ViaXmodem) SendCommandAndLog(App.StartCommand, kWaitForLineEnd);
}

// The `command` profile types the lines at the prompt: no program entry opens or closes.
bool CommandProfile() {
    return App.StartCommand.empty() && App.EndSequence.empty();
}

enum class StreamEnd { Done, Cancelled, Vanished, Stopped, Rejected, Garbled };

// A program line's first characters, as a log line quotes it.
Text QuoteOfLine(const Text& line) {
    Text quote = line.substr(0, kLineQuoteLength);
    if (line.size() > kLineQuoteLength) quote += u"...";
    return quote;
}

// "line 5: Print ..." with the line's first characters.
Text NameOfLine(long number, const Text& line) {
    return u"line " + DecimalText(number) + u": " + QuoteOfLine(line);
}

// The board's words beyond the echo, and which line it turned down.
void LogRejection(const EchoCheck& check, EchoVerdict verdict, const std::vector<Text>& lines) {
    AppendLog(check.Words);
    Text line = TrimBlanks(lines[static_cast<size_t>(check.WordsLine) - 1]);
    AppendLog((verdict == EchoVerdict::Error ? u"The board rejected "
                                             : u"The board left program entry at ") +
              NameOfLine(check.WordsLine, line));
}

// A line the board took wrongly: which, and what the board kept instead.
void LogGarbled(const EchoCheck& check, const std::vector<Text>& lines) {
    Text line = TrimBlanks(lines[static_cast<size_t>(check.Line) - 1]);
    AppendLog(u"Line " + DecimalText(check.Line) + u" was garbled: " + QuoteOfLine(line));
    AppendLog(u"The board echoed instead: " + check.Garbled);
}

// After a line went out: a stop, a vanished port, the board's refusal or a garbled echo ends
// the streaming. Then no further line goes out: Ctrl-C, which ends program entry without
// saving, the board's words or echo, and which line it was.
StreamEnd AfterLine(EchoVerdict verdict, const EchoCheck& check, const std::vector<Text>& lines) {
    if (StopRequested()) return StreamEnd::Stopped;
    // A board that is unplugged will never echo again: stop instead of waiting out every
    // remaining line and then reporting success.
    if (PortVanished()) return StreamEnd::Vanished;
    // The end sequence would save the damaged program and RUN would start it.
    if (verdict == EchoVerdict::Garbled) {
        heard.GarbledLine = check.Line;
        Exchange(CtrlC(), LineDelays(10));
        LogGarbled(check, lines);
        // AUTO takes each line into the program as it comes and Ctrl-C only ends it: the
        // damaged program would stay in memory.
        if (App.StartCommand == u"AUTO") SendCommandAndLog(u"NEW", kWaitForPrompt);
        return StreamEnd::Garbled;
    }
    // A board that turned a line down has left program entry: every further line would run
    // as a command.
    if (verdict != EchoVerdict::Error && verdict != EchoVerdict::Prompt) return StreamEnd::Done;
    Exchange(CtrlC(), LineDelays(10));
    LogRejection(check, verdict, lines);
    return StreamEnd::Rejected;
}

// A program line that goes to the board: neither an echo directive nor the options line.
bool IsSentLine(const Text& line) {
    return !IsEchoLine(line) && !IsOnloadLine(line);
}

// Fast mode's streaming: each line goes the moment the one before was echoed and checked.
StreamEnd StreamProgramFast(const std::vector<Text>& lines) {
    Text count = DecimalText(static_cast<long long>(lines.size()));
    SetProgressLabel(u" 1/" + count);
    EchoCheck check;
    LinePacer pacer;
    long long baud = LeadingNumber(App.SerialSpeed);
    pacer.ByteTimeUs = baud > 0 ? 10000000 / baud : 0;
    size_t nextSent = 0;  // index of the next line that goes to the board
    for (size_t i = 1; i <= lines.size(); ++i) {
        Text line = TrimBlanks(lines[i - 1]);
        if (IsEchoLine(line)) {
            AppendLog(EchoLineText(line));
        } else if (!IsOnloadLine(line)) {
            nextSent = std::max(nextSent, i);
            while (nextSent < lines.size() && !IsSentLine(TrimBlanks(lines[nextSent])))
                ++nextSent;
            Text next = nextSent < lines.size() ? TrimBlanks(lines[nextSent]) : Text();
            EchoVerdict verdict =
                SendLineFast(line, static_cast<long>(i), next, check, pacer, WindowLinkHooks());
            heard.Unechoed = check.Unechoed;
            heard.Echoed = heard.Echoed || verdict == EchoVerdict::Echoed;
            heard.FirstUnechoed = check.FirstUnechoed;
            StreamEnd end = AfterLine(verdict, check, lines);
            if (end != StreamEnd::Done) {
                WithdrawAhead(pacer);
                return end;
            }
        }
        if (i % 10 == 0) {
            SetProgressLabel(DecimalText(static_cast<long long>(i)) + u"/" + count);
            if (PumpEvents()) {
                WithdrawAhead(pacer);
                return StreamEnd::Cancelled;
            }
        }
    }
    return StreamEnd::Done;
}

// One program line out. In program entry the reply goes through the echo check. The
// `command` profile types the lines at the prompt: each one's answer is what the user wants
// to see, and a line without even the echo of its line end counts as not echoed.
EchoVerdict SendProgramLine(const Text& line, long number, EchoCheck& check) {
    if (!CommandProfile()) return SendLineChecked(line, number, check, WindowLinkHooks());
    Text reply = Exchange(line + u"\r\n", kWaitForPrompt, Until::PromptSettled);
    if (!Contains(reply, u"\n")) ++check.Unechoed;
    AppendLog(reply);
    return EchoVerdict::Echoed;
}

// Streams the program line by line, each paced by the board's echo.
StreamEnd StreamProgram() {
    std::vector<Text> lines = WalkLines(App.ProgramText);
    // The command profile's lines are commands at the prompt, not program entry's echoes.
    if (App.Fast && !CommandProfile()) return StreamProgramFast(lines);
    Text count = DecimalText(static_cast<long long>(lines.size()));
    SetProgressLabel(u" 1/" + count);
    EchoCheck check;
    for (size_t i = 1; i <= lines.size(); ++i) {
        Text line = TrimBlanks(lines[i - 1]);
        if (IsEchoLine(line)) {
            AppendLog(EchoLineText(line));
        } else if (!IsOnloadLine(line)) {
            EchoVerdict verdict = SendProgramLine(line, static_cast<long>(i), check);
            heard.Unechoed = check.Unechoed;
            heard.Echoed = heard.Echoed || verdict == EchoVerdict::Echoed;
            heard.FirstUnechoed = check.FirstUnechoed;
            StreamEnd end = AfterLine(verdict, check, lines);
            if (end != StreamEnd::Done) return end;
        }
        if (i % 10 == 0) {
            SetProgressLabel(DecimalText(static_cast<long long>(i)) + u"/" + count);
            if (PumpEvents()) return StreamEnd::Cancelled;
        }
    }
    return StreamEnd::Done;
}

// RUN, its reply logged; or, when a console follows the job, sent without a wait so that
// the console shows all of the reply as it comes.
void SendRun() {
    if (App.RunReplyToConsole) {
        std::string run = "RUN\r\n";
        WriteBytes(reinterpret_cast<const uint8_t*>(run.data()), static_cast<int>(run.size()));
        return;
    }
    AppendLog(Exchange(u"RUN\r\n", LineDelays(20), Until::PromptAtEnd));
    PumpEvents();
}

// After the program is stored: the check of what the board keeps when asked for, then RUN
// when `runs`; a program that was not verified is not run.
JobOutcome VerifyAndRun(bool runs) {
    if (App.Verify) {
        JobOutcome verified = VerifyStoredProgram();
        if (verified != JobOutcome::Completed) return verified;
    }
    AppendLog(u"");
    PumpEvents();
    if (runs && !StopRequested()) SendRun();
    return JobOutcome::Completed;
}

// A board may still be writing its flash when the end sequence's wait is over. When RUN
// follows, or the board confirms saves, its answer is read on up to the prompt.
bool AwaitsSaveAnswer() {
    return !App.EndSequence.empty() && heard.Echoed && (!App.NoRun || App.ConfirmsSave);
}

// Reads on until the reply ends with the prompt, at most kSaveWaitMs. False when a Cancel or
// a stop ended the wait.
bool ReadOnToPrompt(Text& reply) {
    const int64_t end = ElapsedMs() + kSaveWaitMs;
    while (!EndsWithPrompt(reply) && ElapsedMs() < end) {
        if (App.Fast) {
            if (AwaitInputPumping(kPollStepMs)) reply += ReadPendingInput();
        } else {
            DelayPumping(kPollStepMs);
            reply += ReadPendingInput();
        }
        if (PumpEvents() || StopRequested()) return false;
    }
    return true;
}

// Why the board's answer to the end sequence shows that nothing was saved.
Text NotSavedLine(const Text& reply) {
    if (!EndsWithPrompt(reply))
        return u"The board did not confirm the save within " + DecimalText(kSaveWaitMs / 1000) +
               u" s: the program may not be stored";
    Text line = u"The board left program entry without saving the program";
    if (App.EndSequence == CtrlC())
        line +=
            u": Ctrl-C abandons program entry on this board (the picomite device type "
            u"ends it with Ctrl-Z)";
    return line;
}

// Ends program entry, waits for the save when the board is still at it, verifies the stored
// program when asked to, and runs it; a program that was not saved or not verified is not
// run.
JobOutcome EndProgramEntry() {
    // In fast mode an empty end sequence has nothing to wait for.
    Text reply = App.Fast && App.EndSequence.empty()
                     ? Text()
                     : Exchange(App.EndSequence, LineDelays(10), Until::PromptAtEnd);
    if (StopRequested()) return JobOutcome::Aborted;
    bool readOn = AwaitsSaveAnswer() && !EndsWithPrompt(reply);
    if (readOn && !ReadOnToPrompt(reply)) {
        AppendLog(reply);
        return JobOutcome::Aborted;
    }
    if (App.ConfirmsSave && heard.Echoed && !Contains(reply, u"Saved")) {
        AppendLog(reply);
        Log(NotSavedLine(reply));
        return JobOutcome::BoardDidNotSave;
    }
    if (!App.EndSequence.empty()) {
        AppendLog(reply);
        AppendLog(App.CompletedMessage);
    }
    return VerifyAndRun(!App.NoRun);
}

void Finish() {
    SetProgressLabel(u"");
    ShowButton(ControlId::CancelButton, false);
    ShowButton(ControlId::ProgramButton, !App.ProgramButtonHidden);
    if (!keepPort) {
        ClosePort();
        AppendLog(u"Disconnected.");
    }
    PumpEvents();
}

// The characters that end program entry on this upload's profile: Ctrl-C ends every kind,
// Ctrl-Z a plain AUTOSAVE, ESC the named kind that escape sequences end.
Text EntryEndingName(char16_t ch) {
    if (App.StartCommand.empty()) return Text();
    if (ch == kCtrlC) return u"Ctrl-C";
    if (ch == 0x1A && App.StartCommand == u"AUTOSAVE") return u"Ctrl-Z";
    if (ch == 0x1B && StartsWith(App.EndSequence, u"\x1b")) return u"ESC";
    return Text();
}

// A program line holding such a character would end program entry in its middle and let
// the lines after it run as commands. Reported before anything is sent; false then.
bool ProgramCanBeEntered() {
    std::vector<Text> lines = WalkLines(App.ProgramText);
    for (size_t i = 0; i < lines.size(); ++i) {
        Text line = TrimBlanks(lines[i]);
        if (IsEchoLine(line) || IsOnloadLine(line)) continue;
        for (char16_t ch : line) {
            Text name = EntryEndingName(ch);
            if (name.empty()) continue;
            Log(u"A " + name + u" character would end program entry at " +
                NameOfLine(static_cast<long>(i + 1), line));
            return false;
        }
    }
    return true;
}

// The board's silence is not an error of the job, but it is not success either: the log's
// last line says so.
JobOutcome ReportSilence() {
    if (!heard.BeforeLines) {
        Log(u"No reply from the board: check the port and the baud rate");
        return JobOutcome::NoReply;
    }
    if (heard.Unechoed > 0) {
        Log(heard.Unechoed == 1 ? Text(u"1 line was not echoed")
                                : DecimalText(heard.Unechoed) + u" lines were not echoed");
        return JobOutcome::NotEchoed;
    }
    return JobOutcome::Completed;
}

// A stop asked for at any moment: Ctrl-C to the board, which the ending wait does not hold
// up, and a line that says so.
JobOutcome StopUpload() {
    if (IsPortOpen()) Exchange(CtrlC(), LineDelays(10));
    AppendLog(u"Upload cancelled");
    return JobOutcome::Aborted;
}

// Where program text goes by XMODEM on this upload's board. A board whose program entry is
// a plain AUTOSAVE has no file system: its XMODEM RECEIVE without a name takes the program
// straight into program memory. The others keep files: the program is received as the
// target file ("temp.bas" unless the options name one) and loaded from it.
struct XmodemRoute {
    Text Receive;  // the receive command, with its line end
    Text Load;     // the command that loads the received file; empty: none
    Text Name;     // the file's name on the board; empty: program memory
};

XmodemRoute RouteOfProfile() {
    if (App.StartCommand == u"AUTOSAVE") return {u"XMODEM RECEIVE\r\n", Text(), Text()};
    Text name = App.TargetName.empty() ? Text(u"temp.bas") : App.TargetName;
    return {u"XMODEM RECEIVE \"" + name + u"\"\r\n", u"LOAD \"" + name + u"\"", name};
}

// The program as streaming sends it: every line that goes to the board, trimmed, with the
// CR LF of a typed line, in the code page; an echo directive is logged where streaming
// would log it.
std::string ProgramBytes() {
    std::string bytes;
    for (const Text& raw : WalkLines(App.ProgramText)) {
        Text line = TrimBlanks(raw);
        if (IsEchoLine(line))
            AppendLog(EchoLineText(line));
        else if (!IsOnloadLine(line))
            bytes += AnsiFromText(line + u"\r\n");
    }
    return bytes;
}

// Whether the program is started: RUN unless norun, or the end sequence that also runs
// (the profile's save-and-run key) was chosen.
bool ProgramRuns() {
    if (!App.NoRun) return true;
    for (const DeviceProfile& profile : kDeviceProfiles)
        if (!profile.RunEndSequence.empty() && App.EndSequence == profile.RunEndSequence)
            return true;
    return false;
}

// The program text by XMODEM, then the load where the board keeps it as a file, the check
// when asked for, and RUN.
JobOutcome SendProgramByXmodem() {
    XmodemRoute route = RouteOfProfile();
    Text label = !route.Name.empty() ? route.Name
                 : App.TextFromPaste ? Text(u"program")
                                     : FileNameOfPath(App.ProgramPath);
    XmodemOutcome sent = SendBytesByXmodem(ProgramBytes(), route.Receive, label, App.LineDelay,
                                           WindowLinkHooks(), App.Fast);
    if (StopRequested() || sent == XmodemOutcome::Cancelled) return StopUpload();
    if (sent != XmodemOutcome::Completed) return JobOutcome::TransferFailed;
    if (!route.Load.empty()) SendCommandAndLog(route.Load, kWaitForPrompt);
    AppendLog(App.CompletedMessage);
    JobOutcome outcome = VerifyAndRun(ProgramRuns());
    return outcome == JobOutcome::Completed && StopRequested() ? StopUpload() : outcome;
}

JobOutcome TransferAndEnd() {
    ShowButton(ControlId::CancelButton, true);
    ShowButton(ControlId::ProgramButton, false);
    PrepareBoard();
    if (StopRequested()) return StopUpload();
    if (App.ViaXmodem) return SendProgramByXmodem();
    WatchCancel(true);
    StreamEnd end = StreamProgram();
    WatchCancel(false);  // a press still unseen becomes a stop here (cancel everywhere)
    if (end == StreamEnd::Done && StopRequested()) end = StreamEnd::Stopped;
    switch (end) {
        case StreamEnd::Done: {
            // A Cancel while the board's save was awaited ends the job as a stop does.
            JobOutcome ended = EndProgramEntry();
            return StopRequested() || ended == JobOutcome::Aborted ? StopUpload() : ended;
        }
        case StreamEnd::Rejected:
            AppendLog(u"Program upload aborted");
            return JobOutcome::Rejected;
        case StreamEnd::Garbled:
            AppendLog(u"Program upload aborted");
            return JobOutcome::Garbled;
        case StreamEnd::Stopped:  // stopped while lines streamed: ends as a Cancel does
        case StreamEnd::Vanished:
        case StreamEnd::Cancelled:
            break;
    }
    Exchange(CtrlC(), LineDelays(10));
    AppendLog(u"Program upload aborted");
    return end == StreamEnd::Vanished ? JobOutcome::PortVanished : JobOutcome::Aborted;
}

// One try of the upload, from the connection to the port closed again.
JobOutcome UploadOnce(Text& pin) {
    heard = Hearing();
    JobOutcome outcome = JobOutcome::Completed;
    if (!ConnectBoard()) {
        outcome = JobOutcome::NoPort;
    } else if (!AnswerPin(pin)) {
        outcome = StopRequested() ? StopUpload() : JobOutcome::WrongPin;
    } else {
        outcome = TransferAndEnd();
    }
    Finish();
    if (outcome == JobOutcome::Completed) outcome = ReportSilence();
    return outcome;
}

// Why a try is worth making again: a line the board took wrongly, or whose echo never came,
// may go through on the next. Empty for every other outcome (a rejected line would only be
// rejected again).
Text RetryReason(JobOutcome outcome) {
    if (outcome == JobOutcome::Garbled)
        return u"Line " + DecimalText(heard.GarbledLine) + u" was garbled";
    if (outcome == JobOutcome::NotEchoed)
        return u"Line " + DecimalText(heard.FirstUnechoed) + u" was not echoed";
    return Text();
}

void RunUploadPath() {
    ResetProfileFields();
    ChooseSettings();
    heard = Hearing();
    // The command profile types its lines at the prompt: there is no program to receive.
    if (App.ViaXmodem && CommandProfile()) {
        Log(u"Not sent: the command profile types its lines at the prompt and takes no "
            u"program by XMODEM");
        lastOutcome = JobOutcome::TransferFailed;
        return;
    }
    if (!App.ViaXmodem && !ProgramCanBeEntered()) {
        lastOutcome = JobOutcome::Rejected;
        return;
    }
    if (StopRequested()) {
        Log(u"Upload cancelled");
        lastOutcome = JobOutcome::Aborted;
        return;
    }
    AppendLog(App.StartedMessage);
    // The cmm2 profile's start command names the file the board saves the program as, and
    // XMODEM names the file it receives.
    Text nameProblem = App.ViaXmodem ? BoardFileNameProblem(RouteOfProfile().Name)
                       : App.StartCommand == u"AUTOSAVE \"" + App.TargetName + u"\""
                           ? BoardFileNameProblem(App.TargetName)
                           : Text();
    if (!nameProblem.empty()) {
        AppendLog(nameProblem);
        PumpEvents();
        lastOutcome = JobOutcome::NameRefused;
        return;
    }
    // An options line may name any rate; the firmware reset's would reboot the board.
    if (FirmwareBaudChosen()) {
        PumpEvents();
        lastOutcome = JobOutcome::BaudRefused;
        return;
    }
    // Each try is a whole upload of the same prepared text; the PIN is asked for once.
    Text pin;
    const int tries = std::max(App.Retries, 0) + 1;
    for (int attempt = 1;; ++attempt) {
        lastOutcome = UploadOnce(pin);
        Text reason = RetryReason(lastOutcome);
        if (reason.empty() || attempt == tries || StopRequested()) break;
        Log(reason + u"; trying again (" + DecimalText(attempt + 1) + u" of " + DecimalText(tries) +
            u")");
        AppendLog(App.StartedMessage);
    }
}

}  // namespace

Text BoardFileNameRefusal(TextView name) {
    return BoardFileNameProblem(name);
}

bool ReachBoardPrompt() {
    heard = Hearing();
    Text pin;
    return AnswerPin(pin);
}

void FinishJob() {
    Finish();
}

void KeepPortAfterJob(bool keep) {
    keepPort = keep;
}

JobOutcome LastJobOutcome() {
    return lastOutcome;
}

bool IsPlausiblePin(TextView pin) {
    return !pin.empty() && pin.size() <= kLongestPin &&
           pin.find_first_not_of(u"0123456789") == TextView::npos;
}

void RunUploadJob() {
    ForgetCancel();
    bool decoded = StartsWithEncodedMagic(App.ProgramText) && !App.TextFromPaste;
    if (decoded) App.ProgramText = DecodeEncodedFile();
    // A lone CR (old Mac files) ends a line as CR LF does; the lines are not run together.
    App.ProgramText = LoneCrsAsLineEnds(App.ProgramText);
    App.ProgramText = StripEditorMarkers(App.ProgramText);
    // Also after decoding and stripping: an encoded file that holds nothing, or a text of
    // marker lines only, would otherwise be uploaded as nothing, after NEW wiped the board.
    if (App.ProgramText.empty()) {
        Log(u"Nothing to load.");
        lastOutcome = JobOutcome::NothingToLoad;
        return;
    }
    Text firstLine = TrimBlanks(FirstLine(App.ProgramText));
    if (IsEncodeRequest(App.ProgramText)) {
        // An encoded file that asks to be encoded: writing it again would make NAME.bae.bae
        // from a file that is already enciphered.
        if (decoded) {
            Log(u"Not encoded again: " + FileNameOfPath(App.ProgramPath) +
                u" is an encoded file already; its first line asks for encoding.");
            lastOutcome = JobOutcome::NotSaved;
            return;
        }
        RunEncodePath(LowerText(firstLine));
        return;
    }
    RunUploadPath();
}

// A file sent by XMODEM has no options line of its own; the chosen collection entry's " fast"
// word still picks fast mode for it, as it does for program text.
namespace {
bool FastForFile() {
    if (App.FastAlways) return true;
    if (Window.CollectionEntry == kManualEntry) return false;
    // The same word test as the options line's.
    return Contains(u" " + LowerText(SplitCollectionEntry(Window.CollectionEntry).Options),
                    u" fast");
}
}  // namespace

void UploadFile(TextView path, UploadAs as) {
    ForgetCancel();
    Text extension = LowerExtension(path);
    if (as == UploadAs::ByExtension)
        as = extension == u"uf2"                                        ? UploadAs::Firmware
             : extension.empty() || !Contains(App.TextTypes, extension) ? UploadAs::Xmodem
                                                                        : UploadAs::ProgramText;
    if (as == UploadAs::Firmware) {
        // Checked before the reset: a board reset for a file that cannot be copied would be
        // left in its drive mode.
        if (Text problem = FirmwareFileProblem(path); !problem.empty()) {
            Log(u"Firmware not installed: " + problem);
            lastOutcome = JobOutcome::FirmwareRefused;
            return;
        }
        FirmwareReset();
        lastOutcome = App.FirmwarePending       ? JobOutcome::FirmwareWaiting
                      : App.PicoPort == kNotSet ? JobOutcome::FirmwareNoPort
                                                : JobOutcome::FirmwareResetFailed;
    } else if (as == UploadAs::Xmodem) {
        lastOutcome = JobOutcome::NoPort;
        if (Text problem = BoardFileNameProblem(FileNameOfPath(path)); !problem.empty()) {
            AppendLog(problem);
            PumpEvents();
            lastOutcome = JobOutcome::NameRefused;
        } else if (FirmwareBaudChosen()) {
            PumpEvents();
            lastOutcome = JobOutcome::BaudRefused;
        } else if (ConnectBoard()) {
            XmodemOutcome sent = SendFileByXmodem(path, FileNameOfPath(path), App.LineDelay,
                                                  WindowLinkHooks(), FastForFile());
            SetProgressLabel(u"");  // a stopped transfer leaves no progress shown
            lastOutcome = sent == XmodemOutcome::Completed    ? JobOutcome::Completed
                          : sent == XmodemOutcome::Cancelled  ? JobOutcome::Aborted
                          : sent == XmodemOutcome::Unreadable ? JobOutcome::NotRead
                                                              : JobOutcome::TransferFailed;
            // A board unplugged mid-transfer fails it; the reason is the port, not XMODEM.
            if (lastOutcome == JobOutcome::TransferFailed && PortVanished()) {
                Log(u"The port went away during the transfer");
                lastOutcome = JobOutcome::PortVanished;
            }
            if (lastOutcome == JobOutcome::Completed && App.Verify)
                lastOutcome = VerifyStoredFile(path, FileNameOfPath(path));
            if (!keepPort) ClosePort();
        }
    } else {
        bool readFailed = false;
        App.ProgramText = ReadProgramFile(path, &readFailed);
        RunUploadJob();
        if (readFailed) lastOutcome = JobOutcome::NotRead;
    }
}
