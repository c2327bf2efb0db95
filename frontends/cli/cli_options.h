// qz-upload's command line: the option table behind the parser, --help and the manual page,
// and the checks that refuse a typo before anything is opened.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The default of --retry: how often an upload starts again after a garbled or lost line.
inline constexpr int kDefaultRetries = 2;

struct Options {
    std::string File, Port, Baud, Device, Entry, Settings, LineDelay, Pin, PinFile, Output,
        WaitDrive, As, Capture, Get, Retry, Via;
    bool PinGiven = false, ListPorts = false, Help = false, Version = false, Console = false,
         Json = false, Fast = false, Force = false, GetGiven = false, Verify = false, Watch = false,
         AllBoards = false;
    std::vector<std::string> Ports;  // every --port, in the order given (Port: the last)
};

// FILE goes to several boards at once: --port given more than once, or --all-boards.
bool SeveralBoards(const Options& options);

// Reads the arguments into `options`; false (said on stderr) for an unknown option, a
// missing value or a second FILE. What was read before the fault stays in `options`.
bool ParseArguments(const std::vector<std::string>& args, Options& options);
// Refuses typos and options that do not go together (said on stderr); normalises the
// device type.
bool CheckOptions(Options& options);
// The PIN from --pin, else --pin-file, else QZ_PIN; false (said on stderr) for one that is
// not a PIN.
bool TakePin(Options& options);

// The usage of --help, the description, every option and the exit codes.
void PrintHelp(std::FILE* out);
// The manual page, from the same table as --help; false when it cannot be written.
bool WriteManualPage(const std::string& path);

// Text for the error stream: names from files and devices may hold escape sequences, which
// a terminal would obey; there they are shown instead.
std::string ForStderr(const std::string& text);
