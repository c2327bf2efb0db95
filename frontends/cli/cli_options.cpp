#include "frontends/cli/cli_options.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/connect.h"
#include "app/profiles.h"
#include "app/upload.h"
#include "frontends/cli/exit_codes.h"
#include "frontends/cli/terminal.h"
#include "qz_version.h"
#include "settings/settings.h"
#include "source/files.h"
#include "source/program.h"
#include "source/text.h"

namespace {

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
     "board), else a name under /dev, or comN. Given more than once, FILE goes to every "
     "port named at the same time",
     &Options::Port, nullptr},
    {"all-boards", 0, nullptr,
     "upload FILE to every port --list-ports marks as a likely board, all at the same time",
     nullptr, &Options::AllBoards},
    {"baud", 'b', "RATE", "baud rate, such as 38400 or 115200", &Options::Baud, nullptr},
    {"device", 'd', "TYPE", "the board's device type, one of: ", &Options::Device, nullptr},
    {"entry", 'e', "NAME", "use the \"My collection\" entry of that name", &Options::Entry,
     nullptr},
    {"settings", 's', "FILE", "settings file to read (it is never written)", &Options::Settings,
     nullptr},
    {"line-delay", 'l', "MS", "base wait in milliseconds, from ", &Options::LineDelay, nullptr},
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
     "how long to wait for the board's drive after a firmware reset (default ", &Options::WaitDrive,
     nullptr},
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
     "echoed (default ",
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

// The device types, from the profile table, as the help and the usage error list them.
std::string DeviceTypeList() {
    std::string list;
    for (const Text& type : DeviceTypeItems())
        list += (list.empty() ? "" : ", ") + Utf8FromText(type);
    return list;
}

// The line-delay bounds as the help and the usage error say them.
std::string LineDelayRange() {
    return std::to_string(kMinLineDelay) + " to " + std::to_string(kMaxLineDelay);
}

// An option's help text; where it names a fact kept elsewhere (the profile table's names,
// a bound, a default) that fact ends it.
std::string HelpOf(const OptionSpec& o) {
    if (o.Value == &Options::Device) return o.Help + DeviceTypeList();
    if (o.Value == &Options::LineDelay) return o.Help + LineDelayRange();
    if (o.Value == &Options::WaitDrive)
        return o.Help + std::to_string(kDefaultDriveWaitSeconds) + ")";
    if (o.Value == &Options::Retry) return o.Help + std::to_string(kDefaultRetries) + ")";
    return o.Help;
}

}  // namespace

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

namespace {

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

}  // namespace

// The build writes the manual page with --write-manual-page.
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
    for (const ExitMeaning& e : ExitMeanings())
        std::fprintf(out, ".TP\n%d\n%s\n", static_cast<int>(e.Code), Roff(e.Meaning).c_str());
    return std::fclose(out) == 0;
}

namespace {

const OptionSpec* FindOption(const std::string& arg) {
    for (const OptionSpec& o : kOptions) {
        if (arg == std::string("--") + o.Long) return &o;
        if (o.Short && arg.size() == 2 && arg[0] == '-' && arg[1] == o.Short) return &o;
    }
    return nullptr;
}

}  // namespace

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
            if (o->Value == &Options::Port) options.Ports.push_back(value);
        }
        if (o->Flag) options.*(o->Flag) = true;
    }
    return true;
}

std::string ForStderr(const std::string& text) {
    return StreamIsTerminal(stderr) ? VisibleControls(text) : text;
}

namespace {

// The text with its control characters shown, line ends included.
std::string WithLineEndsShown(const std::string& text) {
    std::string shown;
    for (char c : text)
        shown += c == '\r'   ? std::string("\\x0D")
                 : c == '\n' ? std::string("\\x0A")
                             : std::string(1, c);
    return VisibleControls(shown);
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

// A PIN file is a line of digits; far more is not a PIN file.
constexpr std::uintmax_t kPinFileLimit = 4096;

}  // namespace

bool SeveralBoards(const Options& o) {
    return o.AllBoards || o.Ports.size() > 1;
}

namespace {

// What cannot be done on several boards at once: talk to them, read from them, or write a
// file for each.
bool CheckSeveralBoards(const Options& o) {
    if (o.AllBoards && !o.Ports.empty()) return UsageError("--all-boards takes no --port");
    if (o.File.empty() || o.File == "-")
        return UsageError("several boards take a FILE, not standard input or the console alone");
    if (o.Console || o.Watch || o.GetGiven || !o.Capture.empty() || !o.Output.empty())
        return UsageError(
            "--console, --watch, --get, --capture and --output go with one board, not several");
    if (o.As == "firmware" || LowerExtension(TextFromUtf8(o.File)) == u"uf2")
        return UsageError("firmware is installed on one board at a time");
    // An 'encode program goes to a file, not to a board: every board's session would write
    // the same file at once. A file that cannot be read is left to the sessions to report.
    if (std::optional<std::string> bytes = ReadWholeFile(TextFromUtf8(o.File));
        bytes && IsEncodeRequest(StripEditorMarkers(TextFromAnsi(*bytes))))
        return UsageError(
            "an 'encode program is written to a file, not sent to a board; give "
            "at most one --port");
    return true;
}

}  // namespace

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
    if (!o.LineDelay.empty() && !WholeNumberIn(o.LineDelay, kMinLineDelay, kMaxLineDelay, n))
        return UsageError("the line delay is a number of milliseconds from " + LineDelayRange() +
                          ", not \"" + o.LineDelay + "\"");
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
    return !SeveralBoards(o) || CheckSeveralBoards(o);
}

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
