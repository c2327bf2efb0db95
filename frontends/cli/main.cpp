// qz-upload: the headless front end. It runs the same core as the desktop window with the
// window replaced by the terminal: the file given is dispatched as a file dropped on the
// window is (program text, XMODEM, firmware), every log line is printed as it is appended,
// and the exit code tells whether the job completed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/connect.h"
#include "app/options.h"
#include "app/profiles.h"
#include "app/pump.h"
#include "app/readback.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/upload.h"
#include "frontends/cli/console.h"
#include "frontends/cli/drive_wait.h"
#include "frontends/cli/file_watch.h"
#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "qz_version.h"
#include "settings/ports.h"
#include "settings/settings.h"
#include "source/files.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

enum Exit {
    kExitCompleted = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitNoPort = 3,
    kExitWrongPin = 4,
    kExitAborted = 5,
    kExitTransferFailed = 6,
    kExitFirmwareNotCopied = 7,
    kExitNothingToLoad = 8,
    kExitPortVanished = 9,
    kExitRejected = 10,
    kExitNoReply = 11,
    kExitNotEchoed = 12,
    kExitNotSaved = 13,
    kExitGarbled = 14,
    kExitDiffers = 15,
    kExitNotRead = 16,
    kExitCaptureFailed = 17,
    kExitNameRefused = 18,
    kExitBaudRefused = 19,
    kExitNotOnBoard = 20,
    kExitNotVerified = 21,
};

// What each exit code means: a short name (the JSON outcome) and the words of --help.
const struct {
    Exit Code;
    const char* Name;
    const char* Meaning;
} kExitMeanings[] = {
    {kExitCompleted, "completed", "completed"},
    {kExitFailed, "failed", "the encoded file (or the file --get received) was not written"},
    {kExitUsage, "bad usage", "bad usage"},
    {kExitNoPort, "no port", "no port: not chosen, or it cannot be opened"},
    {kExitWrongPin, "wrong PIN", "wrong PIN, none given, or no terminal to ask for one"},
    {kExitAborted, "cancelled", "cancelled (Cancel, Ctrl-C, SIGTERM or SIGHUP)"},
    {kExitTransferFailed, "transfer failed", "XMODEM transfer failed"},
    {kExitFirmwareNotCopied, "firmware not copied",
     "firmware not copied: not a UF2 file, no firmware port, reset failed, or no drive"},
    {kExitNothingToLoad, "nothing to load", "nothing to load"},
    {kExitPortVanished, "port vanished", "the port went away"},
    {kExitRejected, "rejected", "the board rejected the program (its words are in the log)"},
    {kExitNoReply, "no reply", "no reply from the board: check the port and the baud rate"},
    {kExitNotEchoed, "not echoed", "some program lines were not echoed"},
    {kExitNotSaved, "not saved", "the board ended program entry without saving the program"},
    {kExitGarbled, "garbled",
     "a program line came back garbled: the upload stopped before anything was saved"},
    {kExitDiffers, "differs",
     "--verify: the board stored something else (the log names the lines)"},
    {kExitNotRead, "not read",
     "FILE or standard input was not read: missing, not a file, or too large"},
    {kExitCaptureFailed, "capture failed", "the --capture file could not be opened or written"},
    {kExitNameRefused, "name refused", "the board cannot take the file name"},
    {kExitBaudRefused, "baud refused",
     "1200 baud refused: it resets boards into their firmware drive"},
    {kExitNotOnBoard, "not on board",
     "--get: the board has no such file (its words are in the log)"},
    {kExitNotVerified, "not verified", "--verify: what the board stored could not be read back"},
};

struct Options {
    std::string File, Port, Baud, Device, Entry, Settings, LineDelay, Pin, PinFile, Output,
        WaitDrive, As, Capture, Get, Retry, Via;
    bool PinGiven = false, ListPorts = false, Help = false, Version = false, Console = false,
         Json = false, Fast = false, Force = false, GetGiven = false, Verify = false, Watch = false;
};

// One table feeds both the parser and --help, so they never drift apart.
struct OptionSpec {
    const char* Long;
    char Short;
    const char* Argument;  // nullptr: a switch
    const char* Help;
    std::string Options::*Value;
    bool Options::*Flag;
};

const OptionSpec kOptions[] = {
    {"port", 'p', "PORT",
     "serial port: a device path (/dev/ttyACM0), a file in the current folder (a link to a "
     "board), else a name under /dev, or comN",
     &Options::Port, nullptr},
    {"baud", 'b', "RATE", "baud rate, such as 38400 or 115200", &Options::Baud, nullptr},
    {"device", 'd', "TYPE", "the board's device type, one of: ", &Options::Device, nullptr},
    {"entry", 'e', "NAME", "use the \"My collection\" entry of that name", &Options::Entry,
     nullptr},
    {"settings", 's', "FILE", "settings file to read (it is never written)", &Options::Settings,
     nullptr},
    {"line-delay", 'l', "MS", "base wait in milliseconds, from 100 to 60000", &Options::LineDelay,
     nullptr},
    {"pin", 0, "PIN", "answer the board's PIN prompt with PIN instead of asking", &Options::Pin,
     &Options::PinGiven},
    {"pin-file", 0, "FILE",
     "read the PIN (digits) from the first line of FILE, which should be readable by you "
     "alone (the environment variable QZ_PIN also gives one; both stay out of the process "
     "list)",
     &Options::PinFile, nullptr},
    {"as", 0, "KIND", "send FILE as text, xmodem or firmware instead of choosing by its extension",
     &Options::As, nullptr},
    {"console", 'c', nullptr,
     "after the job (or at once, without FILE) stay connected: the board's output is shown, "
     "keys go to the board as typed, Ctrl-] leaves",
     nullptr, &Options::Console},
    {"json", 0, nullptr,
     "write one JSON object per line to standard output for each log line, progress step "
     "and the outcome, instead of the log text",
     nullptr, &Options::Json},
    {"capture", 0, "FILE",
     "with --console, also append everything the board prints to FILE (never through a "
     "symbolic link)",
     &Options::Capture, nullptr},
    {"output", 'o', "FILE",
     "where an 'encode program is written (default: NAME.bae), or the file --get receives",
     &Options::Output, nullptr},
    {"force", 0, nullptr, "let --output replace an existing file", nullptr, &Options::Force},
    // Reading back from the board, and the edit loop.
    {"get", 0, "NAME",
     "receive the board's file NAME by XMODEM and write it to --output (default: NAME in "
     "the current folder); an empty NAME (\"\") gets the program in memory (default file "
     "program.bas). The zero bytes that pad the last block are dropped",
     &Options::Get, &Options::GetGiven},
    {"verify", 0, nullptr,
     "read the stored program back before it runs and compare it with what was sent, as the "
     "board keeps text; it runs only when they agree. A file sent by XMODEM is read back and "
     "compared byte for byte",
     nullptr, &Options::Verify},
    {"watch", 0, nullptr,
     "upload FILE, stay in the console, and each time FILE is saved stop the program and "
     "upload it again; Ctrl-] leaves",
     nullptr, &Options::Watch},
    {"wait-drive", 0, "SECONDS",
     "how long to wait for the board's drive after a firmware reset "
     "(default 60)",
     &Options::WaitDrive, nullptr},
    {"fast", 0, nullptr,
     "pace by the board's replies as they arrive instead of fixed waits (as the \" fast\" "
     "option word does)",
     nullptr, &Options::Fast},
    {"via", 0, "WAY",
     "how program text goes to the board: stream (program entry, the default) or xmodem "
     "(received as a file and loaded, or into program memory; as the \" xmodem\" option "
     "word does)",
     &Options::Via, nullptr},
    {"retry", 0, "N",
     "start the upload again up to N times after a line came back garbled or was not "
     "echoed (default 2)",
     &Options::Retry, nullptr},
    {"list-ports", 0, nullptr, "list the serial ports present and exit", nullptr,
     &Options::ListPorts},
    {"help", 'h', nullptr, "show this help and exit", nullptr, &Options::Help},
    {"version", 'V', nullptr, "show the version and the commit built, and exit", nullptr,
     &Options::Version},
};

// What the program does, for --help and the manual page.
const char kDescription[] =
    "Uploads FILE to a board running a BASIC interpreter, as dropping it on the window\n"
    "does: program text (the settings' text types, and encoded .bae files) is streamed line\n"
    "by line, a .uf2 file is installed after a 1200-baud reset, any other file goes by\n"
    "XMODEM. A FILE of \"-\" uploads the text read from standard input, as pasted text.\n"
    "With no port named, the only USB serial port present is used. Ctrl-C while program\n"
    "lines stream cancels as the window's Cancel does; at any other moment, or pressed\n"
    "twice, it stops the job at once (Ctrl-C to the board, port closed, exit status 5);\n"
    "so do SIGTERM and SIGHUP (the terminal closing).\n";

// The exit codes and their meanings, one to a line.
std::string ExitStatusText() {
    std::string text;
    for (const auto& e : kExitMeanings)
        text += (e.Code < 10 ? " " : "") + std::to_string(e.Code) + "  " + e.Meaning + "\n";
    return text;
}

// The device types, from the profile table, as the help and the usage error list them.
std::string DeviceTypeList() {
    std::string list;
    for (const Text& type : DeviceTypeItems())
        list += (list.empty() ? "" : ", ") + Utf8FromText(type);
    return list;
}

// An option's help text; the device option's ends with the profile table's names.
std::string HelpOf(const OptionSpec& o) {
    return o.Value == &Options::Device ? o.Help + DeviceTypeList() : std::string(o.Help);
}

void PrintHelp(std::FILE* out) {
    std::fprintf(out, "Usage: qz-upload [OPTIONS] [FILE]\n%s\nOptions:\n", kDescription);
    for (const OptionSpec& o : kOptions) {
        std::string left = o.Short ? std::string("  -") + o.Short + ", --" : "      --";
        left += o.Long;
        if (o.Argument) left += std::string(" ") + o.Argument;
        // The help text wrapped to fit 80 columns beside the option column.
        std::string help = HelpOf(o);
        while (help.size() > 50) {
            size_t cut = help.rfind(' ', 50);
            if (cut == std::string::npos) break;
            std::fprintf(out, "%-28s %s\n", left.c_str(), help.substr(0, cut).c_str());
            left.clear();
            help.erase(0, cut + 1);
        }
        std::fprintf(out, "%-28s %s\n", left.c_str(), help.c_str());
    }
    std::fprintf(out, "\nExit status:\n%s", ExitStatusText().c_str());
}

// Text for roff: hyphens as minus signs (so they copy as typed) and backslashes escaped; a
// line that starts with a dot or quote is kept from being read as a request.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

// The manual page, from the same table as --help; the build writes it with
// --write-manual-page.
bool WriteManualPage(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, ".TH QZ-UPLOAD 1 \"\" \"qz-upload %s\" \"User Commands\"\n", QZ_VERSION);
    std::fprintf(out,
                 ".SH NAME\nqz-upload \\- upload BASIC programs to a board over a serial port\n"
                 ".SH SYNOPSIS\n.B qz-upload\n[\\fIOPTIONS\\fR] [\\fIFILE\\fR]\n"
                 ".SH DESCRIPTION\n%s.SH OPTIONS\n",
                 Roff(kDescription).c_str());
    for (const OptionSpec& o : kOptions) {
        std::fputs(".TP\n", out);
        if (o.Short) std::fprintf(out, "\\fB\\-%c\\fR, ", o.Short);
        std::fprintf(out, "\\fB%s\\fR", Roff(std::string("--") + o.Long).c_str());
        if (o.Argument) std::fprintf(out, " \\fI%s\\fR", o.Argument);
        std::fprintf(out, "\n%s\n", Roff(HelpOf(o)).c_str());
    }
    const std::string console =
        "With --console the port stays open after the job. What the board prints is shown "
        "(on a terminal, control characters appear escaped as \\xHH, so the board cannot "
        "drive the terminal); every key goes to the board as typed, Ctrl-C included. Ctrl-] "
        "ends the console and restores the terminal. When the board goes away the console "
        "says so and waits until a port of the same name is back.\n";
    const std::string pin =
        "the PIN that answers the board's PIN prompt, when neither --pin nor --pin-file gives "
        "one.\n";
    const std::string files =
        "The settings file Pellimor.inf beside the program or in $XDG_CONFIG_HOME (by default "
        "~/.config); qz-upload reads it and never writes it.\n";
    std::fprintf(out, ".SH CONSOLE\n%s.SH ENVIRONMENT\n.TP\n.B QZ_PIN\n%s.SH FILES\n%s",
                 Roff(console).c_str(), Roff(pin).c_str(), Roff(files).c_str());
    std::fputs(".SH EXIT STATUS\n", out);
    for (const auto& e : kExitMeanings)
        std::fprintf(out, ".TP\n%d\n%s\n", static_cast<int>(e.Code), Roff(e.Meaning).c_str());
    return std::fclose(out) == 0;
}

const OptionSpec* FindOption(const std::string& arg) {
    for (const OptionSpec& o : kOptions) {
        if (arg == std::string("--") + o.Long) return &o;
        if (o.Short && arg.size() == 2 && arg[0] == '-' && arg[1] == o.Short) return &o;
    }
    return nullptr;
}

bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        if (arg == "-" || arg.empty() || arg[0] != '-') {
            if (!options.File.empty()) {
                std::fprintf(stderr, "qz-upload: only one FILE can be given\n");
                return false;
            }
            options.File = arg;
            continue;
        }
        const OptionSpec* o = FindOption(arg);
        if (!o) {
            std::fprintf(stderr, "qz-upload: unknown option %s (see --help)\n", arg.c_str());
            return false;
        }
        if (o->Argument) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    std::fprintf(stderr, "qz-upload: %s needs %s\n", arg.c_str(), o->Argument);
                    return false;
                }
                value = args[++i];
            }
            options.*(o->Value) = value;
        }
        if (o->Flag) options.*(o->Flag) = true;
    }
    return true;
}

// The headless "window" holds any port or rate asked for, so that what the user typed is
// what the upload uses even when discovery does not list it.
void ShowInBox(ControlId box, const Text& text) {
    if (text.empty()) return;
    ComboBox& b = BoxOf(box);
    SelectByText(b, text);
    if (LowerText(BoxText(b)) != LowerText(text)) {
        b.Items.push_back(text);
        b.Selected = static_cast<int>(b.Items.size()) - 1;
    }
}

// Text for the error stream: names from files and devices may hold escape sequences, which
// a terminal would obey; there they are shown instead.
std::string ForStderr(const std::string& text) {
    return StreamIsTerminal(stderr) ? VisibleControls(text) : text;
}

// The text with its control characters shown, line ends included.
std::string WithLineEndsShown(const std::string& text) {
    std::string shown;
    for (char c : text)
        shown += c == '\r'   ? std::string("\\x0D")
                 : c == '\n' ? std::string("\\x0A")
                             : std::string(1, c);
    return VisibleControls(shown);
}

bool ChooseEntry(const std::string& name) {
    Text wanted = TextFromUtf8(name);
    for (size_t i = 0; i < App.Collection.size(); ++i) {
        if (EntryName(App.Collection[i]) == wanted) {
            Window.CollectionBox.Selected = static_cast<int>(i);
            SetCollectionEntry(App.Collection[i]);
            return true;
        }
    }
    std::fprintf(stderr, "qz-upload: no \"My collection\" entry named %s; the entries are:\n",
                 ForStderr(name).c_str());
    for (const Text& entry : App.Collection)
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

int ExitCodeOf(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Completed:
            return kExitCompleted;
        case JobOutcome::NothingToLoad:
            return kExitNothingToLoad;
        case JobOutcome::NoPort:
            return kExitNoPort;
        case JobOutcome::WrongPin:
            return kExitWrongPin;
        case JobOutcome::Aborted:
            return kExitAborted;
        case JobOutcome::PortVanished:
            return kExitPortVanished;
        case JobOutcome::Rejected:
            return kExitRejected;
        case JobOutcome::NoReply:
            return kExitNoReply;
        case JobOutcome::NotEchoed:
            return kExitNotEchoed;
        case JobOutcome::TransferFailed:
            return kExitTransferFailed;
        case JobOutcome::FirmwareWaiting:
        case JobOutcome::FirmwareNoPort:
        case JobOutcome::FirmwareResetFailed:
            return kExitFirmwareNotCopied;
        case JobOutcome::FirmwareRefused:
            return kExitFirmwareNotCopied;
        case JobOutcome::NotSaved:
            return kExitFailed;
        case JobOutcome::BoardDidNotSave:
            return kExitNotSaved;
        case JobOutcome::Differs:
            return kExitDiffers;
        case JobOutcome::NotOnBoard:
            return kExitNotOnBoard;
        case JobOutcome::NotVerified:
            return kExitNotVerified;
        case JobOutcome::NotRead:
            return kExitNotRead;
        case JobOutcome::NameRefused:
            return kExitNameRefused;
        case JobOutcome::BaudRefused:
            return kExitBaudRefused;
        case JobOutcome::Garbled:
            return kExitGarbled;
    }
    return kExitFailed;
}

// With --json the last event names the outcome by the words of the exit status table.
int Outcome(const Options& o, int code) {
    const char* name = "failed";
    for (const auto& e : kExitMeanings)
        if (e.Code == code) name = e.Name;
    if (o.Json) std::printf("{\"event\":\"outcome\",\"outcome\":\"%s\",\"exit\":%d}\n", name, code);
    return code;
}

bool UsageError(const std::string& message) {
    std::fprintf(stderr, "qz-upload: %s (see --help)\n", message.c_str());
    return false;
}

// A whole decimal number within [low, high]; false for anything else.
bool WholeNumberIn(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoll(text);
    return value >= low && value <= high;
}

// Typos are refused before anything is opened, instead of being read as defaults.
bool CheckOptions(Options& o) {
    long long n = 0;
    if (!o.Device.empty()) {
        Text device = LowerText(TextFromUtf8(o.Device));
        o.Device = Utf8FromText(device);
        std::vector<Text> types = DeviceTypeItems();
        if (std::find(types.begin(), types.end(), device) == types.end())
            return UsageError("unknown device type \"" + o.Device + "\"; it is one of " +
                              DeviceTypeList());
    }
    // The settings file is held to the limit its loading applies, so that a file the loading
    // would skip is refused here instead of the upload going on with defaults.
    if (!o.Settings.empty() && !ReadWholeFile(TextFromUtf8(o.Settings), kSettingsFileLimit)) {
        Text why = ReadRefusal(TextFromUtf8(o.Settings), kSettingsFileLimit);
        return UsageError(why.empty() ? "cannot read the settings file " + o.Settings
                                      : "settings file not read: " + Utf8FromText(why));
    }
    if (!o.LineDelay.empty() && !WholeNumberIn(o.LineDelay, 100, kMaxLineDelay, n))
        return UsageError("the line delay is a number of milliseconds from 100 to 60000, not \"" +
                          o.LineDelay + "\"");
    if (!o.Baud.empty() && !WholeNumberIn(o.Baud, 50, 4000000, n))
        return UsageError("the baud rate is a number from 50 to 4000000, not \"" + o.Baud + "\"");
    if (!o.Baud.empty() && n == kFirmwareResetBaud)
        return UsageError(
            "1200 baud resets boards into their firmware drive; it is used only "
            "to install a .uf2 file");
    if (!o.WaitDrive.empty() && !WholeNumberIn(o.WaitDrive, 0, 3600, n))
        return UsageError("--wait-drive takes seconds from 0 to 3600, not \"" + o.WaitDrive + "\"");
    if (!o.Via.empty() && o.Via != "stream" && o.Via != "xmodem")
        return UsageError("--via takes stream or xmodem, not \"" + o.Via + "\"");
    if (!o.Retry.empty() && !WholeNumberIn(o.Retry, 0, 100, n))
        return UsageError("--retry takes a number of tries from 0 to 100, not \"" + o.Retry + "\"");
    if (!o.As.empty() && o.As != "text" && o.As != "xmodem" && o.As != "firmware")
        return UsageError("--as takes text, xmodem or firmware, not \"" + o.As + "\"");
    if (!o.As.empty() && (o.File.empty() || o.File == "-")) return UsageError("--as needs a FILE");
    if (!o.Capture.empty() && !o.Console && !o.Watch)
        return UsageError("--capture goes with --console or --watch");
    if (o.Json && o.Console) return UsageError("--json and --console do not go together");
    if (o.GetGiven && (!o.File.empty() || o.Verify || o.Watch || o.Console))
        return UsageError("--get takes no FILE, --verify, --watch or --console");
    if ((o.Verify || o.Watch) && (o.File.empty() || o.File == "-"))
        return UsageError(std::string(o.Verify ? "--verify" : "--watch") + " needs a FILE");
    if (o.Watch && o.Json) return UsageError("--json and --watch do not go together");
    // A list of dropped files is cut at its first line end; a name is never cut so, or
    // another file would be uploaded than the one named.
    if (o.File.find('\n') != std::string::npos || (!o.File.empty() && o.File.back() == '\r'))
        return UsageError("the file name " + WithLineEndsShown(o.File) +
                          " holds a line end; rename the file");
    return true;
}

// A PIN file is a line of digits; far more is not a PIN file.
constexpr std::uintmax_t kPinFileLimit = 4096;

// The PIN from --pin, else --pin-file, else QZ_PIN; the latter two keep it out of `ps`. It
// is checked before anything is sent: the board takes digits only.
bool TakePin(Options& o) {
    std::string from = "--pin";
    if (o.PinGiven) {
        if (o.Pin.empty()) return UsageError("--pin is empty; give the board's PIN (digits)");
    } else if (!o.PinFile.empty()) {
        Text path = TextFromUtf8(o.PinFile);
        std::optional<std::string> text = ReadWholeFile(path, kPinFileLimit);
        if (!text) {
            Text why = ReadRefusal(path, kPinFileLimit);
            return UsageError(why.empty() ? "cannot read the PIN file " + o.PinFile
                                          : "PIN file not read: " + Utf8FromText(why));
        }
        std::string line = text->substr(0, text->find_first_of("\r\n"));
        line.erase(line.find_last_not_of(" \t") + 1);
        if (line.empty())
            return UsageError("the PIN file " + o.PinFile + " holds no PIN on its first line");
        if (ReadableByOthers(path))
            std::fprintf(stderr,
                         "qz-upload: warning: other users can read the PIN file %s "
                         "(chmod 600 keeps it yours)\n",
                         ForStderr(o.PinFile).c_str());
        o.Pin = line;
        from = "the PIN file";
    } else if (const char* env = std::getenv("QZ_PIN"); env && *env) {
        o.Pin = env;
        from = "QZ_PIN";
    } else {
        return true;
    }
    o.PinGiven = true;
    if (!IsPlausiblePin(TextFromUtf8(o.Pin)))
        return UsageError("the PIN from " + from + " is not a PIN: digits only, at most " +
                          std::to_string(kLongestPin));
    return true;
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
bool ChooseOnlyUsbPort() {
    std::vector<PortIdentity> usb;
    for (const PortIdentity& port : ListSerialPortIdentities())
        if (IsUsbPort(port)) usb.push_back(port);
    if (usb.size() == 1) {
        App.Comport = usb[0].Path;
        AppendLog(u"Using the only USB serial port: " + DescribePort(usb[0]));
        return true;
    }
    if (usb.empty()) return true;  // the job explains that no port is set
    std::fprintf(stderr, "qz-upload: several USB serial ports; choose one with --port:\n");
    for (const PortIdentity& port : usb)
        std::fprintf(stderr, "  %s\n", ForStderr(Utf8FromText(DescribePort(port))).c_str());
    return false;
}

bool StartConsole(std::FILE* capture, std::function<bool()> leave = {}) {
    ConsoleSettings settings;
    settings.Leave = std::move(leave);
    settings.Port = App.Comport;
    settings.Baud = LeadingNumber(App.SerialSpeed);
    settings.ShowControlsEscaped = StreamIsTerminal(stdout);
    settings.Capture = capture;
    return RunConsole(settings);
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
void ExplainFirmware(JobOutcome outcome, int seconds) {
    if (outcome == JobOutcome::FirmwareNoPort)
        std::fprintf(stderr, "qz-upload: no firmware port chosen; give one with --port\n");
    else if (outcome == JobOutcome::FirmwareResetFailed)
        std::fprintf(stderr, "qz-upload: the firmware reset failed: %s\n",
                     Utf8FromText(LastOpenFailureDetail()).c_str());
    else if (outcome == JobOutcome::FirmwareWaiting && !App.FirmwarePending)
        std::fprintf(stderr, "qz-upload: the firmware was not copied to the board's drive\n");
    else if (outcome == JobOutcome::FirmwareWaiting)
        std::fprintf(stderr, "qz-upload: the board's drive did not appear within %d seconds\n",
                     seconds);
}

// Says on stderr why there is no port: how to name one when none is chosen, otherwise why
// it could not be opened, unless the log showed that already under "Not found!".
void ExplainNoPort(bool reasonLogged) {
    if (App.Comport == kNotSet || App.Comport.empty())
        std::fprintf(stderr,
                     "qz-upload: no serial port chosen; give one with --port "
                     "('qz-upload --list-ports' lists them).\n");
    else if (!reasonLogged)
        std::fprintf(stderr, "qz-upload: %s\n", Utf8FromText(LastOpenFailureReason()).c_str());
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
int WatchAndUpload(const Options& o, const Text& file, std::FILE* capture) {
    FileWatchHandle watch = WatchFiles({file});
    if (!watch) {
        std::fprintf(stderr, "qz-upload: cannot watch %s for saves\n", o.File.c_str());
        return kExitFailed;
    }
    OnFilesDropped(file, UploadAsChosen(o));
    for (long save = 1; !StopRequested() && IsPortOpen(); ++save) {
        std::vector<Text> saved;
        bool ran = StartConsole(capture, [&] {
            saved = TakeSaves(*watch, 0);
            return !saved.empty();
        });
        if (!ran || saved.empty()) break;
        std::fprintf(stderr,
                     "\r\n[qz-upload: save %ld of %s at %s: stopping the program and uploading "
                     "again]\r\n",
                     save, o.File.c_str(), TimeOfDay().c_str());
        Text last = SendAndWaitUntil(Text(1, u'\x03'), Until::PromptAtEnd, 2000, WindowLinkHooks());
        std::string shown = ConsoleShows(AnsiFromText(last), StreamIsTerminal(stdout));
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        std::fputs("\r\n", stdout);
        std::fflush(stdout);
        OnFilesDropped(file, UploadAsChosen(o));
    }
    return ExitCodeOf(LastJobOutcome());
}

// --get: the board's file (or program) to a file here, never over one without --force.
int GetFromBoard(const Options& o) {
    std::string target = !o.Output.empty() ? o.Output
                         : o.Get.empty()   ? "program.bas"
                                           : Utf8FromText(FileNameOfPath(TextFromUtf8(o.Get)));
    if (!o.Force && FileExists(TextFromUtf8(target))) {
        std::fprintf(stderr, "qz-upload: %s exists; give --force to replace it.\n", target.c_str());
        return kExitFailed;
    }
    JobOutcome outcome = GetFileFromBoard(TextFromUtf8(o.Get), TextFromUtf8(target), o.Force);
    if (outcome == JobOutcome::NoPort) ExplainNoPort(true);
    ClosePort();
    ReleaseChannelBuffers();
    return ExitCodeOf(outcome);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    UseUtf8Console();
    if (argc == 3 && std::strcmp(argv[1], "--write-manual-page") == 0)
        return WriteManualPage(argv[2]) ? kExitCompleted : kExitFailed;
    std::vector<std::string> arguments = ProgramArguments(argc, argv);
    if (arguments.empty()) {
        std::fprintf(stderr,
                     "Usage: qz-upload [OPTIONS] FILE (or --console, or --get NAME)\n"
                     "'qz-upload --help' tells more.\n");
        return kExitUsage;
    }
    if (!ParseArguments(arguments, options)) return kExitUsage;
    if (!CheckOptions(options) || !TakePin(options)) return Outcome(options, kExitUsage);
    if (options.Help) {
        PrintHelp(stdout);
        return kExitCompleted;
    }
    if (options.Version) {
        std::printf("qz-upload %s (commit %s)\n", QZ_VERSION, QZ_COMMIT);
        return kExitCompleted;
    }
    if (options.ListPorts) {
        // USB makers' strings come from the device: on a terminal they are shown, not obeyed.
        bool terminal = StreamIsTerminal(stdout);
        for (const PortIdentity& port : ListSerialPortIdentities()) {
            std::string line = Utf8FromText(DescribePort(port));
            std::printf("%s\n", (terminal ? VisibleControls(line) : line).c_str());
        }
        return kExitCompleted;
    }
    if (options.File.empty() && !options.Console && !options.GetGiven) {
        std::fprintf(stderr,
                     "qz-upload: no FILE given, nor --console or --get (see --help)\n"
                     "Usage: qz-upload [OPTIONS] FILE (or --console, or --get NAME)\n");
        return Outcome(options, kExitUsage);
    }
    std::FILE* capture = nullptr;
    if (!options.Capture.empty() && !(capture = OpenCapture(options)))
        return Outcome(options, kExitCaptureFailed);

    Cli.LogOut = stdout;
    Cli.ShowProgressBar = StreamIsTerminal(stderr) && !options.Json;
    Cli.Json = options.Json;
    Cli.PinGiven = options.PinGiven;
    Cli.SaveMayReplace = options.Force;
    Cli.Pin = TextFromUtf8(options.Pin);
    InstallCancelOnInterrupt();
    SetCancelEverywhere(true);

    StartupBeforeWindow({}, TextFromUtf8(options.Settings));
    bool manual = !options.Port.empty() || !options.Baud.empty() || !options.Device.empty();
    KeepCommandLinePort(!options.Port.empty(), !options.Baud.empty());
    if (!options.Port.empty()) App.Comport = TextFromUtf8(PortAsNamed(options.Port));
    bool portChosen = !options.Port.empty();
    if (App.Comport == kNotSet || App.Comport.empty()) {
        if (!ChooseOnlyUsbPort()) return Outcome(options, kExitNoPort);
        portChosen = App.Comport != kNotSet && !App.Comport.empty();
    }
    if (!options.Baud.empty()) App.SerialSpeed = TextFromUtf8(options.Baud);
    if (!options.Device.empty()) App.Device = TextFromUtf8(options.Device);
    if (!options.LineDelay.empty()) App.LineDelay = std::stoi(options.LineDelay);
    App.FastAlways = options.Fast;
    App.Verify = options.Verify;
    App.XmodemAlways = options.Via == "xmodem";
    App.Retries = options.Retry.empty() ? 2 : std::stoi(options.Retry);
    // A firmware file given with a port is reset on that port.
    if (LowerExtension(TextFromUtf8(options.File)) == u"uf2" && portChosen)
        App.PicoPort = App.Comport;
    BuildControls();
    if (manual && options.Entry.empty()) SetCollectionEntry(kManualEntry);
    if (!options.Entry.empty() && !ChooseEntry(options.Entry)) return Outcome(options, kExitUsage);
    StartupAfterWindow();
    ShowInBox(ControlId::PortBox, App.Comport == kNotSet ? Text() : App.Comport);
    ShowInBox(ControlId::BaudBox, App.SerialSpeed);

    if (options.GetGiven) return Outcome(options, GetFromBoard(options));
    if (options.File.empty()) {  // a console alone
        if (LeadingNumber(App.SerialSpeed) == kFirmwareResetBaud) {
            std::fprintf(stderr, "qz-upload: %s\n", Utf8FromText(kFirmwareBaudRefusal).c_str());
            CloseCapture(capture, options);
            return kExitBaudRefused;
        }
        bool ran = StartConsole(capture);
        bool captured = CloseCapture(capture, options);
        if (ran) return captured ? kExitCompleted : kExitCaptureFailed;
        OpenPort(App.Comport, LeadingNumber(App.SerialSpeed));  // for the failure's reason
        ExplainNoPort(false);
        return kExitNoPort;
    }
    KeepPortAfterJob(options.Console || options.Watch);
    if (options.Watch) {
        int code = WatchAndUpload(options, TextFromUtf8(options.File), capture);
        bool captured = CloseCapture(capture, options);
        ClosePort();
        ReleaseChannelBuffers();
        return Outcome(options, captured || code != kExitCompleted ? code : kExitCaptureFailed);
    }
    if (options.File == "-") {
        // Bounded as a program file is: endless input must end in a message, not exhaust memory.
        std::string input;
        char chunk[65536];
        while (std::cin.read(chunk, sizeof chunk) || std::cin.gcount() > 0) {
            input.append(chunk, static_cast<size_t>(std::cin.gcount()));
            if (input.size() > kProgramFileLimit) {
                std::fprintf(stderr,
                             "qz-upload: standard input holds more than %llu bytes; "
                             "nothing was uploaded.\n",
                             static_cast<unsigned long long>(kProgramFileLimit));
                CloseCapture(capture, options);
                return Outcome(options, kExitNotRead);
            }
        }
        Cli.SaveName = TextFromUtf8(options.Output.empty() ? "program.bae" : options.Output);
        OnTextDropped(TextFromUtf8(input));
    } else {
        Text file = TextFromUtf8(options.File);
        Cli.SaveName =
            options.Output.empty() ? DefaultEncodedName(file) : TextFromUtf8(options.Output);
        OnFilesDropped(file, UploadAsChosen(options));
    }

    JobOutcome outcome = LastJobOutcome();
    // The console follows a job that reached the board, unless the user cancelled it.
    if (options.Console && IsPortOpen() && outcome != JobOutcome::Aborted) StartConsole(capture);
    bool captured = CloseCapture(capture, options);
    int seconds = options.WaitDrive.empty()
                      ? 60
                      : static_cast<int>(LeadingNumber(TextFromUtf8(options.WaitDrive)));
    if (outcome == JobOutcome::FirmwareWaiting && WaitForFirmwareDrive(seconds))
        outcome = JobOutcome::Completed;
    if (StopRequested() && outcome == JobOutcome::FirmwareWaiting) {
        AppendLog(u"Firmware copy cancelled");
        outcome = JobOutcome::Aborted;
    }
    if (outcome == JobOutcome::NoPort) ExplainNoPort(true);
    ExplainFirmware(outcome, seconds);
    // The headless program reads the settings file but never writes it.
    EndProgressLine();
    ClosePort();
    ReleaseChannelBuffers();
    int code = ExitCodeOf(outcome);
    return Outcome(options, code == kExitCompleted && !captured ? kExitCaptureFailed : code);
}
