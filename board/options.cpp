#include "board/options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

enum class Opt {
    Help,
    Link,
    Store,
    Pin,
    WrongPin,
    PinSilent,
    Silent,
    Xmodem,
    EchoDelay,
    LoseEcho,
    NakBlocks,
    NakCount,
    NakAll,
    CanBlock,
    IgnoreEot,
    CorruptSendBlock,
    AlterStoredLine,
    VanishAfterLines,
    LineSpeed,
    Personality,
    Chunk,
    SaveTime,
    Noise,
    NoiseSeed,
    DriveDir,
    MountsFile
};

struct OptionRow {
    const char* Name;
    const char* Argument;  // nullptr: a switch without argument
    Opt Id;
    const char* Help;
};

const OptionRow kOptions[] = {
    {"--help", nullptr, Opt::Help, "show this text and exit"},
    {"--link", "PATH", Opt::Link, "make PATH a symlink to the serial port (removed at exit)"},
    {"--store", "DIR", Opt::Store,
     "write program.bas, named files, transcript.log, run-output.txt, clock.txt to DIR"},
    {"--pin", "NNNN", Opt::Pin, "ask for this security PIN before the first prompt"},
    {"--wrong-pin", nullptr, Opt::WrongPin, "reject every PIN"},
    {"--pin-silent", nullptr, Opt::PinSilent, "say nothing at all once a PIN was entered"},
    {"--silent", nullptr, Opt::Silent, "never send anything back"},
    {"--xmodem", "crc|checksum", Opt::Xmodem,
     "XMODEM mode to ask for when receiving (default crc); with checksum, XMODEM SEND also "
     "starts only on NAK, as boards that know no CRC do"},
    {"--echo-delay", "MS", Opt::EchoDelay,
     "hold back the echo of each line end and each XMODEM reply by MS ms (fractions too: 0.1)"},
    {"--lose-echo", "N", Opt::LoseEcho, "drop the echo of every Nth program line"},
    {"--nak-blocks", "LIST", Opt::NakBlocks, "NAK these XMODEM blocks (e.g. 1,3) once each"},
    {"--nak-count", "K", Opt::NakCount, "NAK each block of --nak-blocks K times (default 1)"},
    {"--nak-all", nullptr, Opt::NakAll, "NAK every XMODEM block, forever"},
    {"--can-block", "N", Opt::CanBlock, "answer XMODEM block N with three CAN bytes"},
    {"--ignore-eot", nullptr, Opt::IgnoreEot, "never acknowledge the XMODEM end (EOT)"},
    {"--corrupt-send-block", "N", Opt::CorruptSendBlock,
     "XMODEM SEND: damage one byte of block N on the wire, the first time it goes"},
    {"--alter-stored-line", "N", Opt::AlterStoredLine,
     "keep program line N without its last character, as if a byte were lost"},
    {"--vanish-after-lines", "N", Opt::VanishAfterLines,
     "drop off the line (port closed, link removed) after N program lines"},
    {"--line-speed", nullptr, Opt::LineSpeed,
     "pace bytes both ways at the client's baud rate, 10 bits per byte"},
    {"--personality", "plain|picomite", Opt::Personality,
     "answer as this interpreter; picomite: decorated and double prompts, chunked output, slow "
     "saves, a slow checksum XMODEM receiver (default plain)"},
    {"--chunk", "N", Opt::Chunk,
     "send output in writes of at most N bytes, 0.1 ms apart (1: a character at a time; "
     "picomite: 64)"},
    {"--save-ms-per-kb", "MS", Opt::SaveTime,
     "a save of program entry takes MS ms per KB, the console reading nothing meanwhile "
     "(picomite: 200)"},
    {"--noise", "RATE", Opt::Noise,
     "lose or change bytes towards the board with this chance each (0.0001: one in ten "
     "thousand): printable ones in program entry, any during XMODEM; faults go to noise.log"},
    {"--noise-seed", "N", Opt::NoiseSeed, "seed of the noise (default 1): a seed repeats a run"},
    {"--drive-dir", "DIR", Opt::DriveDir, "folder that plays the firmware drive after 1200 baud"},
    {"--mounts-file", "FILE", Opt::MountsFile,
     "mount table to which the firmware drive's line is added while it exists"},
};

bool ParseCount(const char* text, long& value) {
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= 0;
}

// A non-negative decimal number of milliseconds such as 3, 0.1 or 1.5 (at most 60 s).
bool ParseMilliseconds(const char* text, double& value) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0 && v <= 60000) || text[0] == '-') return false;
    value = v;
    return true;
}

bool ParseList(const char* text, std::set<long>& values) {
    std::string item;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            long n = 0;
            if (!ParseCount(item.c_str(), n) || n < 1) return false;
            values.insert(n);
            item.clear();
            if (*p == '\0') return true;
        } else {
            item += *p;
        }
    }
}

bool ApplyNumber(const char* text, long& value, std::string& error, const char* name) {
    if (ParseCount(text, value)) return true;
    error = std::string(name) + " wants a number, not '" + text + "'";
    return false;
}

bool ApplyOption(Opt id, const char* arg, BoardOptions& o, std::string& error) {
    long n = 0;
    switch (id) {
        case Opt::Help:
            o.Help = true;
            return true;
        case Opt::Link:
            o.Link = arg;
            return true;
        case Opt::Store:
            o.Store = arg;
            return true;
        case Opt::Pin:
            o.Pin = arg;
            return !o.Pin.empty() || (error = "--pin wants a PIN", false);
        case Opt::WrongPin:
            o.WrongPin = true;
            return true;
        case Opt::PinSilent:
            o.PinSilent = true;
            return true;
        case Opt::Silent:
            o.Silent = true;
            return true;
        case Opt::Xmodem:
            if (std::strcmp(arg, "crc") == 0)
                o.XmodemCrc = true;
            else if (std::strcmp(arg, "checksum") == 0)
                o.XmodemCrc = false;
            else
                return error = "--xmodem wants crc or checksum", false;
            return true;
        case Opt::EchoDelay:
            if (!ParseMilliseconds(arg, o.EchoDelayMs))
                return error = std::string("--echo-delay wants milliseconds, not '") + arg + "'",
                       false;
            return true;
        case Opt::LoseEcho:
            if (!ApplyNumber(arg, n, error, "--lose-echo")) return false;
            o.LoseEcho = static_cast<int>(n);
            return true;
        case Opt::NakBlocks:
            return ParseList(arg, o.NakBlocks) || (error = "--nak-blocks wants e.g. 1,3", false);
        case Opt::NakCount:
            if (!ApplyNumber(arg, n, error, "--nak-count")) return false;
            o.NakCount = static_cast<int>(n);
            return true;
        case Opt::NakAll:
            o.NakAll = true;
            return true;
        case Opt::CanBlock:
            return ApplyNumber(arg, o.CanBlock, error, "--can-block");
        case Opt::IgnoreEot:
            o.IgnoreEot = true;
            return true;
        case Opt::CorruptSendBlock:
            return ApplyNumber(arg, o.CorruptSendBlock, error, "--corrupt-send-block");
        case Opt::AlterStoredLine:
            return ApplyNumber(arg, o.AlterStoredLine, error, "--alter-stored-line");
        case Opt::VanishAfterLines:
            return ApplyNumber(arg, o.VanishAfterLines, error, "--vanish-after-lines");
        case Opt::LineSpeed:
            o.LineSpeed = true;
            return true;
        case Opt::Personality:
            if (std::strcmp(arg, "plain") == 0)
                o.Kind = Personality::Plain;
            else if (std::strcmp(arg, "picomite") == 0)
                o.Kind = Personality::Picomite;
            else
                return error = "--personality wants plain or picomite", false;
            return true;
        case Opt::Chunk:
            if (!ApplyNumber(arg, n, error, "--chunk")) return false;
            o.ChunkBytes = static_cast<int>(std::min(n, 4096L));
            return true;
        case Opt::SaveTime:
            if (!ParseMilliseconds(arg, o.SaveMsPerKb))
                return error =
                           std::string("--save-ms-per-kb wants milliseconds, not '") + arg + "'",
                       false;
            return true;
        case Opt::Noise: {
            char* end = nullptr;
            double rate = std::strtod(arg, &end);
            if (end == arg || *end != '\0' || !(rate >= 0 && rate <= 1))
                return error = std::string("--noise wants a chance from 0 to 1, not '") + arg + "'",
                       false;
            o.NoiseRate = rate;
            return true;
        }
        case Opt::NoiseSeed:
            if (!ApplyNumber(arg, n, error, "--noise-seed")) return false;
            o.NoiseSeed = static_cast<uint64_t>(n);
            return true;
        case Opt::DriveDir:
            o.DriveDir = arg;
            return true;
        case Opt::MountsFile:
            o.MountsFile = arg;
            return true;
    }
    return false;
}

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : kOptions)
        if (name == row.Name) return &row;
    return nullptr;
}

}  // namespace

bool ParseOptions(int argc, char** argv, BoardOptions& options, std::string& error) {
    std::set<Opt> given;
    for (int i = 1; i < argc; ++i) {
        // Both "--opt value" and "--opt=value" are taken.
        std::string word = argv[i];
        std::string inlineArg;
        bool hasInline = false;
        if (size_t eq = word.find('='); eq != std::string::npos) {
            inlineArg = word.substr(eq + 1);
            word.resize(eq);
            hasInline = true;
        }
        const OptionRow* row = FindOption(word);
        if (!row) return error = "unknown option '" + word + "' (see --help)", false;
        const char* arg = nullptr;
        if (row->Argument) {
            if (hasInline)
                arg = inlineArg.c_str();
            else if (i + 1 < argc)
                arg = argv[++i];
            else
                return error = word + " wants " + row->Argument, false;
        } else if (hasInline) {
            return error = word + " takes no value", false;
        }
        if (!ApplyOption(row->Id, arg, options, error)) return false;
        given.insert(row->Id);
    }
    // The personality's own ways, where the command line did not choose otherwise.
    if (options.Kind == Personality::Picomite) {
        if (!given.count(Opt::Xmodem)) options.XmodemCrc = false;
        if (!given.count(Opt::Chunk)) options.ChunkBytes = 64;
        if (!given.count(Opt::SaveTime)) options.SaveMsPerKb = 200;
    }
    return true;
}

std::string HelpText() {
    std::string text =
        "Usage: qz-board [OPTIONS]\n"
        "A simulated BASIC board on a pseudo-terminal; prints the port's path first.\n\n";
    for (const OptionRow& row : kOptions) {
        std::string left = std::string("  ") + row.Name;
        if (row.Argument) left += std::string(" ") + row.Argument;
        if (left.size() < 30)
            left.resize(30, ' ');
        else
            left += "  ";
        text += left + row.Help + "\n";
    }
    return text;
}
