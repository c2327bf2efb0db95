#include "app/upload.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "app/connect.h"
#include "app/options.h"
#include "app/profiles.h"
#include "app/program_files.h"
#include "app/pump.h"
#include "app/state.h"
#include "link/pacing.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "link/xmodem.h"
#include "source/crunch.h"
#include "source/files.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

JobOutcome lastOutcome = JobOutcome::Completed;
bool keepPort = false;

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

// Answers the board's PIN prompt. False when the upload must stop.
bool AnswerPin() {
    Text pin = u"no";
    Text reply = Exchange(CtrlC(), LineDelays(3), Until::PromptOrPin);
    if (Contains(LowerText(reply), u"enter pin or 0 to restart:")) {
        pin = AskInput(u"PIN required!", u"Enter security PIN", u"", true);
        if (!pin.empty()) {
            Log(u"Sending PIN");
            reply = Exchange(pin + u"\r\n", LineDelays(3));
            bool accepted = false;
            for (int check = 1; check <= 20; ++check) {
                if (Contains(reply, u">")) {
                    accepted = true;
                    break;
                }
                if (Contains(reply, u"PIN") || check == 20) break;
                DelayPumping(LineDelays(3));
                reply = ReadPendingInput();
            }
            if (accepted) {
                AppendLog(u"PIN accepted");
            } else {
                AppendLog(u"Wrong PIN");
                pin.clear();
            }
        }
    }
    PumpEvents();
    if (pin.empty()) {
        AppendLog(u"Aborting upload");
        return false;
    }
    return true;
}

// In fast mode a command ends at the prompt after its answer, a start of program entry at
// its echo's line end (the command profile has none: its empty start gets a prompt).
void SendCommandAndLog(const Text& command, int wait) {
    bool toLineEnd = wait == kWaitForLineEnd && !App.StartCommand.empty();
    AppendLog(Exchange(command + u"\r\n", wait, toLineEnd ? Until::LineEnd : Until::PromptAtEnd));
    PumpEvents();
}

void PrepareBoard() {
    if (!App.NoNew) SendCommandAndLog(u"NEW", kWaitForPrompt);
    if (App.SetTime) {
        Log(u"Setting clock");
        SendCommandAndLog(DateTimeCommand(), kWaitForPrompt);
    }
    if (App.SetRtc) {
        Log(u"Setting RTC");
        SendCommandAndLog(RtcCommand(), kWaitForPrompt);
    }
    SendCommandAndLog(App.StartCommand, kWaitForLineEnd);
}

// The `command` profile types the lines at the prompt: no program entry opens or closes.
bool CommandProfile() {
    return App.StartCommand.empty() && App.EndSequence.empty();
}

// A program line that goes to the board: neither an echo directive nor the options line.
bool IsSentLine(const Text& line) {
    return !IsEchoLine(line) && !IsOnloadLine(line);
}

// Fast mode's streaming: each line goes the moment the one before was echoed and checked.
bool StreamProgramFast(const std::vector<Text>& lines) {
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
            if (PortVanished() || verdict == EchoVerdict::Error || verdict == EchoVerdict::Prompt) {
                WithdrawAhead(pacer);
                if (!check.Words.empty()) AppendLog(check.Words);  // the board's reason
                return false;
            }
        }
        if (i % 10 == 0) {
            SetProgressLabel(DecimalText(static_cast<long long>(i)) + u"/" + count);
            if (PumpEvents()) {
                WithdrawAhead(pacer);
                return false;
            }
        }
    }
    return true;
}

// Streams the program line by line, each paced by the board's echo. False when the user
// pressed Cancel or the port's device went away.
bool StreamProgram() {
    std::vector<Text> lines = WalkLines(App.ProgramText);
    // The command profile's lines are commands at the prompt, not program entry's echoes.
    if (App.Fast && !CommandProfile()) return StreamProgramFast(lines);
    Text count = DecimalText(static_cast<long long>(lines.size()));
    SetProgressLabel(u" 1/" + count);
    for (size_t i = 1; i <= lines.size(); ++i) {
        Text line = TrimBlanks(lines[i - 1]);
        if (IsEchoLine(line)) {
            AppendLog(EchoLineText(line));
        } else if (CommandProfile() && !IsOnloadLine(line)) {
            // Commands at the prompt: each one's answer is what the user wants to see.
            AppendLog(Exchange(line + u"\r\n", kWaitForPrompt, Until::PromptAtEnd));
            if (PortVanished()) return false;
        } else if (!IsOnloadLine(line)) {
            Exchange(line + u"\r\n", kWaitForLineEnd);
            // A board that is unplugged will never echo again: stop instead of waiting out
            // every remaining line and then reporting success.
            if (PortVanished()) return false;
        }
        if (i % 10 == 0) {
            SetProgressLabel(DecimalText(static_cast<long long>(i)) + u"/" + count);
            if (PumpEvents()) return false;
        }
    }
    return true;
}

void EndProgramEntry() {
    // In fast mode an empty end sequence has nothing to wait for.
    Text reply = App.Fast && App.EndSequence.empty()
                     ? Text()
                     : Exchange(App.EndSequence, LineDelays(10), Until::PromptAtEnd);
    if (!App.EndSequence.empty()) {
        AppendLog(reply);
        AppendLog(App.CompletedMessage);
    }
    AppendLog(u"");
    PumpEvents();
    if (!App.NoRun) {
        AppendLog(Exchange(u"RUN\r\n", LineDelays(20), Until::PromptAtEnd));
        PumpEvents();
    }
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

void RunUploadPath() {
    ResetProfileFields();
    ChooseSettings();
    AppendLog(App.StartedMessage);
    // The cmm2 profile's start command names the file the board saves the program as.
    Text nameProblem = App.StartCommand == u"AUTOSAVE \"" + App.TargetName + u"\""
                           ? BoardFileNameProblem(App.TargetName)
                           : Text();
    if (!nameProblem.empty()) {
        AppendLog(nameProblem);
        PumpEvents();
        lastOutcome = JobOutcome::TransferFailed;
        return;
    } else if (!ConnectBoard()) {
        lastOutcome = JobOutcome::NoPort;
    } else if (!AnswerPin()) {
        lastOutcome = JobOutcome::WrongPin;
    } else {
        ShowButton(ControlId::CancelButton, true);
        ShowButton(ControlId::ProgramButton, false);
        PrepareBoard();
        if (StreamProgram()) {
            EndProgramEntry();
            lastOutcome = JobOutcome::Completed;
        } else {
            Exchange(CtrlC(), LineDelays(10));
            AppendLog(u"Program upload aborted");
            lastOutcome = JobOutcome::Aborted;
        }
    }
    Finish();
}

}  // namespace

void KeepPortAfterJob(bool keep) {
    keepPort = keep;
}

JobOutcome LastJobOutcome() {
    return lastOutcome;
}

void RunUploadJob() {
    ForgetCancel();
    if (App.ProgramText.empty()) {
        AppendLog(u"Nothing to load.");
        PumpEvents();
        lastOutcome = JobOutcome::NothingToLoad;
        return;
    }
    if (StartsWithEncodedMagic(App.ProgramText) && !App.TextFromPaste)
        App.ProgramText = DecodeEncodedFile();
    App.ProgramText = StripEditorMarkers(App.ProgramText);
    Text firstLine = TrimBlanks(FirstLine(App.ProgramText));
    if (IsEncodeRequest(App.ProgramText)) {
        RunEncodePath(LowerText(firstLine));
        return;
    }
    RunUploadPath();
}

void UploadFile(TextView path, UploadAs as) {
    ForgetCancel();
    Text extension = LowerExtension(path);
    if (as == UploadAs::ByExtension)
        as = extension == u"uf2"                                        ? UploadAs::Firmware
             : extension.empty() || !Contains(App.TextTypes, extension) ? UploadAs::Xmodem
                                                                        : UploadAs::ProgramText;
    if (as == UploadAs::Firmware) {
        FirmwareReset();
        lastOutcome =
            App.FirmwarePending ? JobOutcome::FirmwareWaiting : JobOutcome::FirmwareFailed;
    } else if (as == UploadAs::Xmodem) {
        lastOutcome = JobOutcome::NoPort;
        if (Text problem = BoardFileNameProblem(FileNameOfPath(path)); !problem.empty()) {
            AppendLog(problem);
            PumpEvents();
            lastOutcome = JobOutcome::TransferFailed;
        } else if (ConnectBoard()) {
            XmodemOutcome sent = SendFileByXmodem(path, FileNameOfPath(path), App.LineDelay,
                                                  WindowLinkHooks(), App.FastAlways);
            lastOutcome = sent == XmodemOutcome::Completed ? JobOutcome::Completed
                                                           : JobOutcome::TransferFailed;
            if (!keepPort) ClosePort();
        }
    } else {
        App.ProgramText = ReadProgramFile(path);
        RunUploadJob();
    }
}
