// qz-upload: the headless front end. It runs the same core as the desktop window with the
// window replaced by the terminal: the file given is dispatched as a file dropped on the
// window is (program text, XMODEM, firmware), every log line is printed as it is appended,
// and the exit code tells whether the job completed.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/connect.h"
#include "app/options.h"
#include "app/profiles.h"
#include "app/pump.h"
#include "app/readback.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/upload.h"
#include "app/window_model.h"
#include "frontends/cli/cli_options.h"
#include "frontends/cli/console.h"
#include "frontends/cli/drive_wait.h"
#include "frontends/cli/exit_codes.h"
#include "frontends/cli/file_watch.h"
#include "frontends/cli/many_boards.h"
#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"
#include "link/clock.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "qz_version.h"
#include "settings/ports.h"
#include "settings/settings.h"
#include "source/files.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// The headless "window" holds any port or rate asked for, so that what the user typed is
// what the upload uses even when discovery does not list it.
void ShowInBox(Session& s, ControlId box, const Text& text) {
    if (text.empty()) return;
    ComboBox& b = BoxOf(s, box);
    SelectByText(b, text);
    if (LowerText(BoxText(b)) != LowerText(text)) {
        b.Items.push_back(text);
        b.Selected = static_cast<int>(b.Items.size()) - 1;
    }
}

bool ChooseEntry(Session& s, const std::string& name) {
    Text wanted = TextFromUtf8(name);
    for (size_t i = 0; i < s.App.Collection.size(); ++i) {
        if (EntryName(s.App.Collection[i]) == wanted) {
            s.Window.CollectionBox.Selected = static_cast<int>(i);
            SetCollectionEntry(s, s.App.Collection[i]);
            return true;
        }
    }
    std::fprintf(stderr, "qz-upload: no \"My collection\" entry named %s; the entries are:\n",
                 ForStderr(name).c_str());
    for (const Text& entry : s.App.Collection)
        std::fprintf(stderr, "  %s\n", ForStderr(Utf8FromText(EntryName(entry))).c_str());
    return false;
}

// The default name of an encoded file: the source's name with ".bae" for its extension.
Text DefaultEncodedName(const Text& source) {
    Text name = FileNameOfPath(source);
    size_t dot = name.rfind(u'.');
    Text stem = source.substr(0, source.size() - name.size()) +
                (dot == Text::npos || dot == 0 ? name : name.substr(0, dot));
    Text target = stem + u".bae";
    return target == source ? source + u".bae" : target;
}

UploadAs UploadAsChosen(const Options& o) {
    if (o.As == "text") return UploadAs::ProgramText;
    if (o.As == "xmodem") return UploadAs::Xmodem;
    if (o.As == "firmware") return UploadAs::Firmware;
    // A file named on the command line is a program: an encoded one is deciphered and sent
    // as text, not copied to the board's storage as it is.
    if (LowerExtension(TextFromUtf8(o.File)) == u"bae") return UploadAs::ProgramText;
    return UploadAs::ByExtension;
}

// With no port named anywhere, the one USB serial port present is the board's; with
// several, the user must say which. False when the choice is the user's to make.
bool ChooseOnlyUsbPort(Session& s) {
    std::vector<PortIdentity> usb;
    for (const PortIdentity& port : ListSerialPortIdentities())
        if (IsUsbPort(port)) usb.push_back(port);
    if (usb.size() == 1) {
        s.App.Comport = usb[0].Path;
        AppendLog(s, u"Using the only USB serial port: " + DescribePort(usb[0]));
        return true;
    }
    if (usb.empty()) return true;  // the job explains that no port is set
    std::fprintf(stderr, "qz-upload: several USB serial ports; choose one with --port:\n");
    for (const PortIdentity& port : usb)
        std::fprintf(stderr, "  %s\n", ForStderr(Utf8FromText(DescribePort(port))).c_str());
    return false;
}

bool StartConsole(Session& s, std::FILE* capture, std::function<bool()> leave = {}) {
    ConsoleSettings settings;
    settings.Leave = std::move(leave);
    settings.Port = s.App.Comport;
    settings.Baud = LeadingNumber(s.App.SerialSpeed);
    settings.ShowControlsEscaped = StreamIsTerminal(stdout);
    settings.Capture = capture;
    return RunConsole(s, settings);
}

// The --capture file, opened before anything is sent: one that cannot be written is its own
// failure, found before the job rather than after it.
std::FILE* OpenCapture(const Options& o) {
    std::string why;
    std::FILE* capture = OpenCaptureFile(o.Capture, why);
    if (!capture)
        std::fprintf(stderr, "qz-upload: cannot write the capture file %s: %s\n",
                     ForStderr(o.Capture).c_str(), why.c_str());
    return capture;
}

// Closes the capture file; false (with a word) when some of what the board sent is not in it.
bool CloseCapture(std::FILE* capture, const Options& o) {
    if (!capture) return true;
    bool whole = !std::ferror(capture);
    whole = std::fclose(capture) == 0 && whole;
    if (!whole)
        std::fprintf(stderr, "qz-upload: the capture file %s lacks some of the board's output\n",
                     ForStderr(o.Capture).c_str());
    return whole;
}

// A port named without a folder that is a file here (a link to a board, say) is that file;
// otherwise the name is looked up as a device name.
std::string PortAsNamed(const std::string& port) {
    namespace fs = std::filesystem;
    if (port.empty() || port.find_first_of("/\\") != std::string::npos) return port;
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::path(TextFromUtf8(port)), ec)) ? "./" + port : port;
}

// Why no firmware was copied; the log says nothing of a reset whose port did not open.
void ExplainFirmware(Session& s, JobOutcome outcome, int seconds) {
    if (outcome == JobOutcome::FirmwareNoPort)
        std::fprintf(stderr, "qz-upload: no firmware port chosen; give one with --port\n");
    else if (outcome == JobOutcome::FirmwareResetFailed)
        std::fprintf(stderr, "qz-upload: the firmware reset failed: %s\n",
                     Utf8FromText(s.Port.LastOpenFailureDetail()).c_str());
    else if (outcome == JobOutcome::FirmwareWaiting && !s.App.FirmwarePending)
        std::fprintf(stderr, "qz-upload: the firmware was not copied to the board's drive\n");
    else if (outcome == JobOutcome::FirmwareWaiting)
        std::fprintf(stderr, "qz-upload: the board's drive did not appear within %d seconds\n",
                     seconds);
}

// Says on stderr why there is no port: how to name one when none is chosen, otherwise why
// it could not be opened, unless the log showed that already under "Not found!".
void ExplainNoPort(Session& s, bool reasonLogged) {
    if (s.App.Comport == kNotSet || s.App.Comport.empty())
        std::fprintf(stderr,
                     "qz-upload: no serial port chosen; give one with --port "
                     "('qz-upload --list-ports' lists them).\n");
    else if (!reasonLogged)
        std::fprintf(stderr, "qz-upload: %s\n",
                     Utf8FromText(s.Port.LastOpenFailureReason()).c_str());
}

// The time of day as hh:mm:ss, for the line that names a save.
std::string TimeOfDay() {
    std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
    return text;
}

// --watch: after each upload the console runs until FILE is saved; then the program is
// stopped (Ctrl-C, and the board's prompt awaited; what it printed last is shown), FILE is
// uploaded again, and the console comes back. A save made during an upload waits in the
// watch and starts the next one. Ends with Ctrl-], a stop, or an upload that found no port.
int WatchAndUpload(Session& s, const Options& o, std::FILE* capture) {
    Text file = TextFromUtf8(o.File);
    FileWatchHandle watch = WatchFiles({file});
    if (!watch) {
        std::fprintf(stderr, "qz-upload: cannot watch %s for saves\n", o.File.c_str());
        return kExitFailed;
    }
    OnFilesDropped(s, file, UploadAsChosen(o));
    for (long save = 1; !StopRequested(s) && s.Port.IsOpen(); ++save) {
        std::vector<Text> saved;
        bool ran = StartConsole(s, capture, [&] {
            saved = TakeSaves(*watch, s.Time, 0);
            return !saved.empty();
        });
        if (!ran || saved.empty()) break;
        std::fprintf(stderr,
                     "\r\n[qz-upload: save %ld of %s at %s: stopping the program and uploading "
                     "again]\r\n",
                     save, o.File.c_str(), TimeOfDay().c_str());
        Text last = SendAndWaitUntil(s, Text(1, kCtrlC), Until::PromptAtEnd, 2000);
        std::string shown = ConsoleShows(AnsiFromText(last), StreamIsTerminal(stdout));
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        std::fputs("\r\n", stdout);
        std::fflush(stdout);
        OnFilesDropped(s, file, UploadAsChosen(o));
    }
    return ExitCodeOf(LastJobOutcome(s));
}

// --get: the board's file (or program) to a file here, never over one without --force.
int GetFromBoard(Session& s, const Options& o) {
    std::string target = !o.Output.empty() ? o.Output
                         : o.Get.empty()   ? "program.bas"
                                           : Utf8FromText(FileNameOfPath(TextFromUtf8(o.Get)));
    if (!o.Force && FileExists(TextFromUtf8(target))) {
        std::fprintf(stderr, "qz-upload: %s exists; give --force to replace it.\n", target.c_str());
        return kExitFailed;
    }
    JobOutcome outcome = GetFileFromBoard(s, TextFromUtf8(o.Get), TextFromUtf8(target), o.Force);
    if (outcome == JobOutcome::NoPort) ExplainNoPort(s, true);
    return ExitCodeOf(outcome);
}

// A console alone, without a job.
int ConsoleAlone(Session& s, std::FILE* capture) {
    if (LeadingNumber(s.App.SerialSpeed) == kFirmwareResetBaud) {
        std::fprintf(stderr, "qz-upload: %s\n", Utf8FromText(kFirmwareBaudRefusal).c_str());
        return kExitBaudRefused;
    }
    if (StartConsole(s, capture)) return kExitCompleted;
    s.Port.Open(s.App.Comport, LeadingNumber(s.App.SerialSpeed));  // for the failure's reason
    ExplainNoPort(s, false);
    return kExitNoPort;
}

// Standard input as a program, bounded as a program file is: endless input must end in a
// message, not exhaust memory. False when it holds more.
bool ReadStandardInput(std::string& input) {
    char chunk[65536];
    while (std::cin.read(chunk, sizeof chunk) || std::cin.gcount() > 0) {
        input.append(chunk, static_cast<size_t>(std::cin.gcount()));
        if (input.size() > kProgramFileLimit) {
            std::fprintf(stderr,
                         "qz-upload: standard input holds more than %llu bytes; "
                         "nothing was uploaded.\n",
                         static_cast<unsigned long long>(kProgramFileLimit));
            return false;
        }
    }
    return true;
}

// The job FILE names (or standard input), then the console when asked for, the wait for a
// firmware drive, and the words on stderr that explain a failure.
int UploadJob(CliFrontend& front, Session& s, const Options& o, std::FILE* capture) {
    if (o.File == "-") {
        std::string input;
        if (!ReadStandardInput(input)) return kExitNotRead;
        front.Cli.SaveName = TextFromUtf8(o.Output.empty() ? "program.bae" : o.Output);
        OnTextDropped(s, TextFromUtf8(input));
    } else {
        Text file = TextFromUtf8(o.File);
        front.Cli.SaveName = o.Output.empty() ? DefaultEncodedName(file) : TextFromUtf8(o.Output);
        OnFilesDropped(s, file, UploadAsChosen(o));
    }
    JobOutcome outcome = LastJobOutcome(s);
    // The console follows a job that reached the board, unless the user cancelled it.
    if (o.Console && s.Port.IsOpen() && outcome != JobOutcome::Aborted) StartConsole(s, capture);
    int seconds = o.WaitDrive.empty() ? kDefaultDriveWaitSeconds
                                      : static_cast<int>(LeadingNumber(TextFromUtf8(o.WaitDrive)));
    if (outcome == JobOutcome::FirmwareWaiting && WaitForFirmwareDrive(s, seconds))
        outcome = JobOutcome::Completed;
    if (StopRequested(s) && outcome == JobOutcome::FirmwareWaiting) {
        AppendLog(s, u"Firmware copy cancelled");
        outcome = JobOutcome::Aborted;
    }
    if (outcome == JobOutcome::NoPort) ExplainNoPort(s, true);
    ExplainFirmware(s, outcome, seconds);
    front.EndProgressLine();
    return ExitCodeOf(outcome);
}

// Sets the session up as the options say: the settings file (or the state `loaded` from it
// already), the port, the rate, the device type or collection entry, the pacing. False
// (said on stderr) with the exit code in `code` when the job cannot start.
bool PrepareSession(Session& s, const Options& o, int& code, const AppState* loaded) {
    SetCancelEverywhere(s, true);
    if (loaded)
        s.App = *loaded;
    else
        StartupBeforeWindow(s, {}, TextFromUtf8(o.Settings));
    bool manual = !o.Port.empty() || !o.Baud.empty() || !o.Device.empty();
    KeepCommandLinePort(s, !o.Port.empty(), !o.Baud.empty());
    if (!o.Port.empty()) s.App.Comport = TextFromUtf8(PortAsNamed(o.Port));
    bool portChosen = !o.Port.empty();
    if (s.App.Comport == kNotSet || s.App.Comport.empty()) {
        if (!ChooseOnlyUsbPort(s)) {
            code = kExitNoPort;
            return false;
        }
        portChosen = s.App.Comport != kNotSet && !s.App.Comport.empty();
    }
    if (!o.Baud.empty()) s.App.SerialSpeed = TextFromUtf8(o.Baud);
    if (!o.Device.empty()) s.App.Device = TextFromUtf8(o.Device);
    if (!o.LineDelay.empty()) s.App.LineDelay = std::stoi(o.LineDelay);
    s.App.FastAlways = o.Fast;
    s.App.Verify = o.Verify;
    s.App.XmodemAlways = o.Via == "xmodem";
    s.App.Retries = o.Retry.empty() ? kDefaultRetries : std::stoi(o.Retry);
    // A firmware file given with a port is reset on that port.
    if (LowerExtension(TextFromUtf8(o.File)) == u"uf2" && portChosen)
        s.App.PicoPort = s.App.Comport;
    BuildControls(s);
    if (manual && o.Entry.empty()) SetCollectionEntry(s, kManualEntry);
    if (!o.Entry.empty() && !ChooseEntry(s, o.Entry)) {
        code = kExitUsage;
        return false;
    }
    StartupAfterWindow(s);
    ShowInBox(s, ControlId::PortBox, s.App.Comport == kNotSet ? Text() : s.App.Comport);
    ShowInBox(s, ControlId::BaudBox, s.App.SerialSpeed);
    return true;
}

// One board: its own clock, port, front end and session, from the options to the exit
// code. It shares nothing with another run of itself but the process's interrupt count
// and, as one of several boards, the `printer` of their output and the application state
// `loaded` from the settings file, which it copies.
int RunBoard(const Options& o, std::FILE* capture, BoardPrinter* printer = nullptr,
             size_t board = 0, const AppState* loaded = nullptr) {
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    CliWindowOptions shown;
    shown.LogOut = stdout;
    shown.ShowProgressBar = StreamIsTerminal(stderr) && !o.Json;
    shown.Json = o.Json;
    shown.PinGiven = o.PinGiven;
    shown.Pin = TextFromUtf8(o.Pin);
    shown.SaveMayReplace = o.Force;
    shown.Printer = printer;
    shown.Board = board;
    shown.Port = o.Port;
    CliFrontend front(std::move(shown));
    Session s(front, *port, clock);
    front.Attach(s);

    int code = kExitCompleted;
    if (!PrepareSession(s, o, code, loaded)) return code;
    if (o.GetGiven) {
        code = GetFromBoard(s, o);
    } else if (o.File.empty()) {
        code = ConsoleAlone(s, capture);
    } else {
        KeepPortAfterJob(s, o.Console || o.Watch);
        code = o.Watch ? WatchAndUpload(s, o, capture) : UploadJob(front, s, o, capture);
    }
    // The headless program reads the settings file but never writes it.
    s.Port.Close();
    return code;
}

// Lists the serial ports present, one to a line.
void ListPorts() {
    // USB makers' strings come from the device: on a terminal they are shown, not obeyed.
    bool terminal = StreamIsTerminal(stdout);
    for (const PortIdentity& port : ListSerialPortIdentities()) {
        std::string line = Utf8FromText(DescribePort(port));
        std::printf("%s\n", (terminal ? VisibleControls(line) : line).c_str());
    }
}

// The application state the settings file gives, read once for several boards.
AppState LoadSettingsOnce(const Options& o) {
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    CliWindowOptions quiet;
    quiet.LogOut = nullptr;  // the notes are logged by each board's session
    CliFrontend silent(std::move(quiet));
    Session s(silent, *port, clock);
    StartupBeforeWindow(s, {}, TextFromUtf8(o.Settings));
    return s.App;
}

// FILE to several boards at once: a thread, a session and a front end for each, their
// lines through one printer, then how each ended. The exit status is the worst of theirs.
int RunSeveralBoards(const Options& o) {
    std::vector<std::string> ports = o.AllBoards ? LikelyBoardPorts() : o.Ports;
    if (ports.empty()) {
        std::fprintf(stderr,
                     "qz-upload: no port present looks like a board ('qz-upload --list-ports' "
                     "lists them)\n");
        return kExitNoPort;
    }
    AppState loaded = LoadSettingsOnce(o);
    std::FILE* progress = StreamIsTerminal(stderr) && !o.Json ? stderr : nullptr;
    BoardPrinter printer(stdout, progress, BoardLabels(ports));
    std::vector<BoardResult> results = RunBoardsAtOnce(ports.size(), [&](size_t i) {
        Options one = o;
        one.Port = ports[i];
        return RunBoard(one, nullptr, &printer, i, &loaded);
    });
    printer.EndProgress();
    PrintBoardSummary(stdout, ports, results, o.Json);
    return WorstExit(results);
}

constexpr char kUsage[] = "Usage: qz-upload [OPTIONS] FILE (or --console, or --get NAME)\n";

// The whole program but its exit: reads the options and does what they ask. `options`
// holds what was read (--json among it) even when the arguments are refused.
int Run(const std::vector<std::string>& arguments, Options& options) {
    if (arguments.size() == 2 && arguments[0] == "--write-manual-page")
        return WriteManualPage(arguments[1]) ? kExitCompleted : kExitFailed;
    if (arguments.empty()) {
        std::fprintf(stderr, "%s'qz-upload --help' tells more.\n", kUsage);
        return kExitUsage;
    }
    if (!ParseArguments(arguments, options)) {
        // The outcome is still written as JSON when --json came after the fault.
        options.Json = options.Json ||
                       std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
        return kExitUsage;
    }
    if (!CheckOptions(options) || !TakePin(options)) return kExitUsage;
    if (options.Help) {
        PrintHelp(stdout);
        return kExitCompleted;
    }
    if (options.Version) {
        std::printf("qz-upload %s (commit %s)\n", QZ_VERSION, QZ_COMMIT);
        return kExitCompleted;
    }
    if (options.ListPorts) {
        ListPorts();
        return kExitCompleted;
    }
    if (options.File.empty() && !options.Console && !options.GetGiven) {
        std::fprintf(stderr, "qz-upload: no FILE given, nor --console or --get (see --help)\n%s",
                     kUsage);
        return kExitUsage;
    }
    if (SeveralBoards(options)) {
        InstallCancelOnInterrupt();
        return RunSeveralBoards(options);
    }
    std::FILE* capture = nullptr;
    if (!options.Capture.empty() && !(capture = OpenCapture(options))) return kExitCaptureFailed;
    InstallCancelOnInterrupt();
    int code = RunBoard(options, capture);
    bool captured = CloseCapture(capture, options);
    return code == kExitCompleted && !captured ? kExitCaptureFailed : code;
}

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Console();
    Options options;
    int code = Run(ProgramArguments(argc, argv), options);
    // With --json the last event names the outcome by the words of the exit status table.
    if (options.Json)
        std::printf("{\"event\":\"outcome\",\"outcome\":\"%s\",\"exit\":%d}\n", ExitName(code),
                    code);
    return code;
}
