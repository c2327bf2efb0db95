// qz-upload: the headless front end. It runs the same core as the desktop window with the
// window replaced by the terminal: the file given is dispatched as a file dropped on the
// window is (program text, XMODEM, firmware), every log line is printed as it is appended,
// and the exit code tells whether the job completed.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/upload.h"
#include "frontends/cli/drive_wait.h"
#include "frontends/cli/explain.h"
#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"
#include "link/serial.h"
#include "qz_version.h"
#include "settings/ports.h"
#include "ui/controls.h"

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
};

struct Options {
    std::string File, Port, Baud, Device, Entry, Settings, LineDelay, Pin, Output, WaitDrive;
    bool PinGiven = false, ListPorts = false, Help = false, Version = false;
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
    {"port", 'p', "PORT", "serial port: a device path (/dev/ttyACM0), a name under /dev, or comN",
     &Options::Port, nullptr},
    {"baud", 'b', "RATE", "baud rate, such as 38400 or 115200", &Options::Baud, nullptr},
    {"device", 'd', "TYPE", "micromite, maximite, picromite, cmm2 or command", &Options::Device,
     nullptr},
    {"entry", 'e', "NAME", "use the \"My collection\" entry of that name", &Options::Entry,
     nullptr},
    {"settings", 's', "FILE", "settings file to read (it is never written)", &Options::Settings,
     nullptr},
    {"line-delay", 'l', "MS", "base wait in milliseconds (at least 100)", &Options::LineDelay,
     nullptr},
    {"pin", 0, "PIN", "answer the board's PIN prompt with PIN instead of asking", &Options::Pin,
     &Options::PinGiven},
    {"output", 'o', "FILE", "where an 'encode program is written (default: NAME.bae)",
     &Options::Output, nullptr},
    {"wait-drive", 0, "SECONDS",
     "how long to wait for the board's drive after a firmware reset "
     "(default 60)",
     &Options::WaitDrive, nullptr},
    {"list-ports", 0, nullptr, "list the serial ports present and exit", nullptr,
     &Options::ListPorts},
    {"help", 'h', nullptr, "show this help and exit", nullptr, &Options::Help},
    {"version", 'V', nullptr, "show the version and the commit built, and exit", nullptr,
     &Options::Version},
};

void PrintHelp(std::FILE* out) {
    std::fputs(
        "Usage: qz-upload [OPTIONS] FILE\n"
        "Uploads FILE to a board running a BASIC interpreter, as dropping it on the window\n"
        "does: program text (the settings' text types) is streamed line by line, a .uf2 file\n"
        "is installed after a 1200-baud reset, any other file goes by XMODEM. A FILE of \"-\"\n"
        "uploads the text read from standard input, as pasted text. Ctrl-C cancels.\n\n"
        "Options:\n",
        out);
    for (const OptionSpec& o : kOptions) {
        std::string left = o.Short ? std::string("  -") + o.Short + ", --" : "      --";
        left += o.Long;
        if (o.Argument) left += std::string(" ") + o.Argument;
        std::fprintf(out, "%-28s %s\n", left.c_str(), o.Help);
    }
    std::fputs(
        "\nExit status: 0 completed, 1 failed, 2 bad usage, 3 no port, 4 wrong PIN,\n"
        "5 aborted, 6 transfer failed, 7 firmware not copied, 8 nothing to load.\n",
        out);
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
                 name.c_str());
    for (const Text& entry : App.Collection)
        std::fprintf(stderr, "  %s\n", Utf8FromText(EntryName(entry)).c_str());
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
        case JobOutcome::TransferFailed:
            return kExitTransferFailed;
        case JobOutcome::FirmwareWaiting:
        case JobOutcome::FirmwareFailed:
            return kExitFirmwareNotCopied;
        case JobOutcome::NotSaved:
            return kExitFailed;
    }
    return kExitFailed;
}

void ExplainNoPort() {
    std::string port = Utf8FromText(App.Comport);
    if (App.Comport == u"not set" || App.Comport.empty()) {
        std::fprintf(stderr,
                     "qz-upload: no serial port chosen; give one with --port "
                     "('qz-upload --list-ports' lists them).\n");
        return;
    }
    std::fprintf(
        stderr, "qz-upload: %s\n",
        ExplainOpenFailure(LastOpenFailure(), port, Utf8FromText(LastOpenFailureDetail())).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    UseUtf8Console();
    if (!ParseArguments(ProgramArguments(argc, argv), options)) return kExitUsage;
    if (options.Help) {
        PrintHelp(stdout);
        return kExitCompleted;
    }
    if (options.Version) {
        std::printf("qz-upload %s (commit %s)\n", QZ_VERSION, QZ_COMMIT);
        return kExitCompleted;
    }
    if (options.ListPorts) {
        for (const Text& port : ListSerialPorts())
            std::printf("%s\n", Utf8FromText(port).c_str());
        return kExitCompleted;
    }
    if (options.File.empty()) {
        PrintHelp(stderr);
        return kExitUsage;
    }

    Cli.LogOut = stdout;
    Cli.ShowProgressBar = StreamIsTerminal(stderr);
    Cli.PinGiven = options.PinGiven;
    Cli.Pin = TextFromUtf8(options.Pin);
    InstallCancelOnInterrupt();

    StartupBeforeWindow({}, TextFromUtf8(options.Settings));
    bool manual = !options.Port.empty() || !options.Baud.empty() || !options.Device.empty();
    if (!options.Port.empty()) App.Comport = TextFromUtf8(options.Port);
    if (!options.Baud.empty()) App.SerialSpeed = TextFromUtf8(options.Baud);
    if (!options.Device.empty()) App.Device = TextFromUtf8(options.Device);
    if (!options.LineDelay.empty()) {
        long long delay = LeadingNumber(TextFromUtf8(options.LineDelay));
        App.LineDelay = delay < 100 ? 100 : delay > 60000 ? 60000 : static_cast<int>(delay);
    }
    // A firmware file given with a port is reset on that port.
    if (LowerExtension(TextFromUtf8(options.File)) == u"uf2" && !options.Port.empty())
        App.PicoPort = App.Comport;
    BuildControls();
    if (manual && options.Entry.empty()) SetCollectionEntry(u"Manual entry");
    if (!options.Entry.empty() && !ChooseEntry(options.Entry)) return kExitUsage;
    StartupAfterWindow();
    ShowInBox(ControlId::PortBox, App.Comport == u"not set" ? Text() : App.Comport);
    ShowInBox(ControlId::BaudBox, App.SerialSpeed);

    if (options.File == "-") {
        std::string input((std::istreambuf_iterator<char>(std::cin)), {});
        Cli.SaveName = TextFromUtf8(options.Output.empty() ? "program.bae" : options.Output);
        OnTextDropped(TextFromUtf8(input));
    } else {
        Text file = TextFromUtf8(options.File);
        Cli.SaveName =
            options.Output.empty() ? DefaultEncodedName(file) : TextFromUtf8(options.Output);
        OnFilesDropped(file);
    }

    JobOutcome outcome = LastJobOutcome();
    if (outcome == JobOutcome::FirmwareWaiting) {
        int seconds = options.WaitDrive.empty()
                          ? 60
                          : static_cast<int>(LeadingNumber(TextFromUtf8(options.WaitDrive)));
        if (WaitForFirmwareDrive(seconds)) outcome = JobOutcome::Completed;
    }
    if (outcome == JobOutcome::NoPort) ExplainNoPort();
    // The headless program reads the settings file but never writes it.
    ClosePort();
    ReleaseChannelBuffers();
    return ExitCodeOf(outcome);
}
