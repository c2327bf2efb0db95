#include "app/upload.h"

#include <algorithm>
#include <vector>

#include "app/board_commands.h"
#include "app/connect.h"
#include "app/options.h"
#include "app/profiles.h"
#include "app/program_files.h"
#include "app/pump.h"
#include "app/readback.h"
#include "app/session.h"
#include "app/stream.h"
#include "link/sendwait.h"
#include "link/xmodem.h"
#include "source/crunch.h"
#include "source/files.h"
#include "source/firmware.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// The longest file name the board's FAT file system takes.
constexpr long long kLongestBoardFileName = 255;

// The "'encode" first line: crunch when it says so, then encipher and save.
JobOutcome RunEncodePath(Session& s, const Text& firstLine) {
    if (Contains(firstLine, u"crunch")) {
        LogAndPump(s, u"Crunching source code.");
        s.App.ProgramText = Crunch(DropFirstLine(s.App.ProgramText));
    } else {
        s.App.ProgramText = DropFirstLine(s.App.ProgramText);
    }
    LogAndPump(s, u"Encoding source code.");
    JobOutcome outcome =
        EncodeAndSave(s, s.App.ProgramText) ? JobOutcome::Completed : JobOutcome::NotSaved;
    LogAndPump(s, u"Encoding completed.");
    return outcome;
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

void ResetProfileFields(Session& s) {
    s.App.NoRun = false;
    s.App.SetTime = false;
    s.App.SetRtc = false;
    s.App.NoNew = false;
    s.App.Fast = s.App.FastAlways;
    s.App.ViaXmodem = s.App.XmodemAlways;
    UseProfile(s, kDefaultProfile, false);
}

// The options line of this upload: the program's own "'onload" line, the device-type box,
// or the chosen collection entry.
void ChooseSettings(Session& s) {
    if (IsOptionsFirstLine(s.App.ProgramText)) {
        s.App.ProgramText = ApplyOptionsLine(s, s.App.ProgramText);
    } else if (s.Window.CollectionEntry == kManualEntry) {
        LogAndPump(s, u"Uploading using default settings");
        ApplyDeviceProfile(s);
    } else {
        CollectionEntryParts entry = SplitCollectionEntry(s.Window.CollectionEntry);
        LogAndPump(s, u"Uploading using " + entry.Name + u" settings");
        s.App.ProgramText = ApplyOptionsLine(s, entry.Options + u"\r\n" + s.App.ProgramText);
    }
}

void Finish(Session& s) {
    SetProgressLabel(s, u"");
    ShowButton(s, ControlId::CancelButton, false);
    ShowButton(s, ControlId::ProgramButton, !s.App.ProgramButtonHidden);
    if (!s.Job.KeepPort) {
        s.Port.Close();
        AppendLog(s, u"Disconnected.");
    }
    PumpEvents(s);
}

// The characters that end program entry on this upload's profile: Ctrl-C ends every kind,
// Ctrl-Z a plain AUTOSAVE, ESC the named kind that escape sequences end.
Text EntryEndingName(const Session& s, char16_t ch) {
    if (s.App.Entry == ProgramEntry::AtPrompt) return Text();
    if (ch == kCtrlC) return u"Ctrl-C";
    if (ch == 0x1A && s.App.Entry == ProgramEntry::Autosave) return u"Ctrl-Z";
    if (ch == 0x1B && StartsWith(s.App.EndSequence, u"\x1b")) return u"ESC";
    return Text();
}

// A program line holding such a character would end program entry in its middle and let
// the lines after it run as commands. Reported before anything is sent; false then.
bool ProgramCanBeEntered(Session& s) {
    std::vector<Text> lines = WalkLines(s.App.ProgramText);
    for (size_t i = 0; i < lines.size(); ++i) {
        Text line = TrimBlanks(lines[i]);
        if (IsEchoLine(line) || IsOnloadLine(line)) continue;
        for (char16_t ch : line) {
            Text name = EntryEndingName(s, ch);
            if (name.empty()) continue;
            LogAndPump(s, u"A " + name + u" character would end program entry at " +
                              NameOfLine(static_cast<long>(i + 1), line));
            return false;
        }
    }
    return true;
}

// The board's silence is not an error of the job, but it is not success either: the log's
// last line says so.
JobOutcome ReportSilence(Session& s) {
    if (!s.Job.Heard.BeforeLines) {
        LogAndPump(s, u"No reply from the board: check the port and the baud rate");
        return JobOutcome::NoReply;
    }
    if (s.Job.Heard.Unechoed > 0) {
        LogAndPump(s, s.Job.Heard.Unechoed == 1
                          ? Text(u"1 line was not echoed")
                          : DecimalText(s.Job.Heard.Unechoed) + u" lines were not echoed");
        return JobOutcome::NotEchoed;
    }
    return JobOutcome::Completed;
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

XmodemRoute RouteOfProfile(const Session& s) {
    if (s.App.Entry == ProgramEntry::Autosave) return {u"XMODEM RECEIVE\r\n", Text(), Text()};
    Text name = s.App.TargetName.empty() ? Text(u"temp.bas") : s.App.TargetName;
    return {u"XMODEM RECEIVE \"" + name + u"\"\r\n", u"LOAD \"" + name + u"\"", name};
}

// The program as streaming sends it: every line that goes to the board, trimmed, with the
// CR LF of a typed line, in the code page; an echo directive is logged where streaming
// would log it.
std::string ProgramBytes(Session& s) {
    std::string bytes;
    for (const Text& raw : WalkLines(s.App.ProgramText)) {
        Text line = TrimBlanks(raw);
        if (IsEchoLine(line))
            AppendLog(s, EchoLineText(line));
        else if (!IsOnloadLine(line))
            bytes += AnsiFromText(line + u"\r\n");
    }
    return bytes;
}

// Whether the program is started: RUN unless norun, or the end sequence that also runs
// (the profile's save-and-run key) was chosen.
bool ProgramRuns(const Session& s) {
    if (!s.App.NoRun) return true;
    for (const DeviceProfile& profile : kDeviceProfiles)
        if (!profile.RunEndSequence.empty() && s.App.EndSequence == profile.RunEndSequence)
            return true;
    return false;
}

// The program text by XMODEM, then the load where the board keeps it as a file, the check
// when asked for, and RUN.
JobOutcome SendProgramByXmodem(Session& s) {
    XmodemRoute route = RouteOfProfile(s);
    Text label = !route.Name.empty()   ? route.Name
                 : s.App.TextFromPaste ? Text(u"program")
                                       : FileNameOfPath(s.App.ProgramPath);
    XmodemOutcome sent =
        SendBytesByXmodem(s, ProgramBytes(s), route.Receive, label, s.App.LineDelay, s.App.Fast);
    if (StopRequested(s) || sent == XmodemOutcome::Cancelled) return StopUpload(s);
    if (sent != XmodemOutcome::Completed) return JobOutcome::TransferFailed;
    if (!route.Load.empty()) SendCommandAndLog(s, route.Load, kWaitForPrompt);
    AppendLog(s, s.App.CompletedMessage);
    JobOutcome outcome = VerifyAndRun(s, ProgramRuns(s));
    return outcome == JobOutcome::Completed && StopRequested(s) ? StopUpload(s) : outcome;
}

JobOutcome TransferAndEnd(Session& s) {
    ShowButton(s, ControlId::CancelButton, true);
    ShowButton(s, ControlId::ProgramButton, false);
    PrepareBoard(s);
    if (StopRequested(s)) return StopUpload(s);
    if (s.App.ViaXmodem) return SendProgramByXmodem(s);
    WatchCancel(s, true);
    StreamEnd end = StreamProgram(s);
    WatchCancel(s, false);  // a press still unseen becomes a stop here (cancel everywhere)
    if (end == StreamEnd::Done && StopRequested(s)) end = StreamEnd::Stopped;
    switch (end) {
        case StreamEnd::Done: {
            // A Cancel while the board's save was awaited ends the job as a stop does.
            JobOutcome ended = EndProgramEntry(s);
            return StopRequested(s) || ended == JobOutcome::Aborted ? StopUpload(s) : ended;
        }
        case StreamEnd::Rejected:
            AppendLog(s, u"Program upload aborted");
            return JobOutcome::Rejected;
        case StreamEnd::Garbled:
            AppendLog(s, u"Program upload aborted");
            return JobOutcome::Garbled;
        case StreamEnd::Stopped:  // stopped while lines streamed: ends as a Cancel does
        case StreamEnd::Vanished:
        case StreamEnd::Cancelled:
            break;
    }
    // Ctrl-C ends program entry without saving; a board that went away is past reaching.
    if (end != StreamEnd::Vanished) Exchange(s, CtrlC(), LineDelays(s, 10));
    AppendLog(s, u"Program upload aborted");
    return end == StreamEnd::Vanished ? JobOutcome::PortVanished : JobOutcome::Aborted;
}

// One try of the upload, from the connection to the port closed again.
JobOutcome UploadOnce(Session& s, Text& pin) {
    s.Job.Heard = Hearing();
    JobOutcome outcome = JobOutcome::Completed;
    if (!ConnectBoard(s)) {
        outcome = JobOutcome::NoPort;
    } else if (!AnswerPin(s, pin)) {
        outcome = StopRequested(s) ? StopUpload(s) : JobOutcome::WrongPin;
    } else {
        outcome = TransferAndEnd(s);
    }
    Finish(s);
    if (outcome == JobOutcome::Completed) outcome = ReportSilence(s);
    return outcome;
}

// Why a try is worth making again: a line the board took wrongly, or whose echo never came,
// may go through on the next. Empty for every other outcome (a rejected line would only be
// rejected again).
Text RetryReason(const Session& s, JobOutcome outcome) {
    if (outcome == JobOutcome::Garbled)
        return u"Line " + DecimalText(s.Job.Heard.GarbledLine) + u" was garbled";
    if (outcome == JobOutcome::NotEchoed)
        return u"Line " + DecimalText(s.Job.Heard.FirstUnechoed) + u" was not echoed";
    return Text();
}

JobOutcome RunUploadPath(Session& s) {
    ResetProfileFields(s);
    ChooseSettings(s);
    s.Job.Heard = Hearing();
    // The command profile types its lines at the prompt: there is no program to receive.
    if (s.App.ViaXmodem && s.App.Entry == ProgramEntry::AtPrompt) {
        LogAndPump(s,
                   u"Not sent: the command profile types its lines at the prompt and takes no "
                   u"program by XMODEM");
        return JobOutcome::TransferFailed;
    }
    if (!s.App.ViaXmodem && !ProgramCanBeEntered(s)) return JobOutcome::Rejected;
    if (StopRequested(s)) {
        LogAndPump(s, u"Upload cancelled");
        return JobOutcome::Aborted;
    }
    AppendLog(s, s.App.StartedMessage);
    // The cmm2 profile's start command names the file the board saves the program as, and
    // XMODEM names the file it receives.
    Text nameProblem = s.App.ViaXmodem ? BoardFileNameProblem(RouteOfProfile(s).Name)
                       : s.App.Entry == ProgramEntry::NamedAutosave
                           ? BoardFileNameProblem(s.App.TargetName)
                           : Text();
    if (!nameProblem.empty()) {
        AppendLog(s, nameProblem);
        PumpEvents(s);
        return JobOutcome::NameRefused;
    }
    // An options line may name any rate; the firmware reset's would reboot the board.
    if (FirmwareBaudChosen(s)) {
        PumpEvents(s);
        return JobOutcome::BaudRefused;
    }
    // Each try is a whole upload of the same prepared text; the PIN is asked for once.
    Text pin;
    const int tries = std::max(s.App.Retries, 0) + 1;
    for (int attempt = 1;; ++attempt) {
        JobOutcome outcome = UploadOnce(s, pin);
        Text reason = RetryReason(s, outcome);
        if (reason.empty() || attempt == tries || StopRequested(s)) return outcome;
        LogAndPump(s, reason + u"; trying again (" + DecimalText(attempt + 1) + u" of " +
                          DecimalText(tries) + u")");
        AppendLog(s, s.App.StartedMessage);
    }
}

}  // namespace

Text BoardFileNameRefusal(TextView name) {
    return BoardFileNameProblem(name);
}

bool ReachBoardPrompt(Session& s) {
    s.Job.Heard = Hearing();
    Text pin;
    return AnswerPin(s, pin);
}

void FinishJob(Session& s) {
    Finish(s);
}

void KeepPortAfterJob(Session& s, bool keep) {
    s.Job.KeepPort = keep;
}

JobOutcome LastJobOutcome(const Session& s) {
    return s.Job.LastOutcome;
}

bool IsPlausiblePin(TextView pin) {
    return !pin.empty() && pin.size() <= kLongestPin &&
           pin.find_first_not_of(u"0123456789") == TextView::npos;
}

namespace {

JobOutcome UploadProgramText(Session& s) {
    bool decoded = StartsWithEncodedMagic(s.App.ProgramText) && !s.App.TextFromPaste;
    if (decoded) s.App.ProgramText = DecodeEncodedFile(s);
    // A lone CR (old Mac files) ends a line as CR LF does; the lines are not run together.
    s.App.ProgramText = LoneCrsAsLineEnds(s.App.ProgramText);
    s.App.ProgramText = StripEditorMarkers(s.App.ProgramText);
    // Also after decoding and stripping: an encoded file that holds nothing, or a text of
    // marker lines only, would otherwise be uploaded as nothing, after NEW wiped the board.
    if (s.App.ProgramText.empty()) {
        LogAndPump(s, u"Nothing to load.");
        return JobOutcome::NothingToLoad;
    }
    Text firstLine = TrimBlanks(FirstLine(s.App.ProgramText));
    if (IsEncodeRequest(s.App.ProgramText)) {
        // An encoded file that asks to be encoded: writing it again would make NAME.bae.bae
        // from a file that is already enciphered.
        if (decoded) {
            LogAndPump(s, u"Not encoded again: " + FileNameOfPath(s.App.ProgramPath) +
                              u" is an encoded file already; its first line asks for encoding.");
            return JobOutcome::NotSaved;
        }
        return RunEncodePath(s, LowerText(firstLine));
    }
    return RunUploadPath(s);
}

// A file sent by XMODEM has no options line of its own; the chosen collection entry's "fast"
// word still picks fast mode for it, as it does for program text.
bool FastForFile(const Session& s) {
    if (s.App.FastAlways) return true;
    if (s.Window.CollectionEntry == kManualEntry) return false;
    return HasOptionWord(SplitCollectionEntry(s.Window.CollectionEntry).Options, u"fast");
}

JobOutcome UploadFileAs(Session& s, TextView path, UploadAs as) {
    Text extension = LowerExtension(path);
    if (as == UploadAs::ByExtension)
        as = extension == u"uf2"                                          ? UploadAs::Firmware
             : extension.empty() || !Contains(s.App.TextTypes, extension) ? UploadAs::Xmodem
                                                                          : UploadAs::ProgramText;
    JobOutcome outcome = JobOutcome::NoPort;
    if (as == UploadAs::Firmware) {
        // Checked before the reset: a board reset for a file that cannot be copied would be
        // left in its drive mode.
        if (Text problem = FirmwareFileProblem(path); !problem.empty()) {
            LogAndPump(s, u"Firmware not installed: " + problem);
            return JobOutcome::FirmwareRefused;
        }
        FirmwareReset(s);
        outcome = s.App.FirmwarePending       ? JobOutcome::FirmwareWaiting
                  : s.App.PicoPort == kNotSet ? JobOutcome::FirmwareNoPort
                                              : JobOutcome::FirmwareResetFailed;
    } else if (as == UploadAs::Xmodem) {
        if (Text problem = BoardFileNameProblem(FileNameOfPath(path)); !problem.empty()) {
            AppendLog(s, problem);
            PumpEvents(s);
            outcome = JobOutcome::NameRefused;
        } else if (FirmwareBaudChosen(s)) {
            PumpEvents(s);
            outcome = JobOutcome::BaudRefused;
        } else if (ConnectBoard(s)) {
            XmodemOutcome sent =
                SendFileByXmodem(s, path, FileNameOfPath(path), s.App.LineDelay, FastForFile(s));
            SetProgressLabel(s, u"");  // a stopped transfer leaves no progress shown
            outcome = sent == XmodemOutcome::Completed    ? JobOutcome::Completed
                      : sent == XmodemOutcome::Cancelled  ? JobOutcome::Aborted
                      : sent == XmodemOutcome::Unreadable ? JobOutcome::NotRead
                                                          : JobOutcome::TransferFailed;
            // A board unplugged mid-transfer fails it; the reason is the port, not XMODEM.
            if (outcome == JobOutcome::TransferFailed && s.Port.Vanished()) {
                LogAndPump(s, u"The port went away during the transfer");
                outcome = JobOutcome::PortVanished;
            }
            if (outcome == JobOutcome::Completed && s.App.Verify)
                outcome = VerifyStoredFile(s, path, FileNameOfPath(path));
            if (!s.Job.KeepPort) s.Port.Close();
        }
    } else {
        bool readFailed = false;
        s.App.ProgramText = ReadProgramFile(s, path, &readFailed);
        outcome = UploadProgramText(s);
        if (readFailed) outcome = JobOutcome::NotRead;
    }
    return outcome;
}

}  // namespace

JobOutcome RunUploadJob(Session& s) {
    ForgetCancel(s);
    s.Job.LastOutcome = UploadProgramText(s);
    return s.Job.LastOutcome;
}

JobOutcome UploadFile(Session& s, TextView path, UploadAs as) {
    ForgetCancel(s);
    s.Job.LastOutcome = UploadFileAs(s, path, as);
    return s.Job.LastOutcome;
}
