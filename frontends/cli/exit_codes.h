// qz-upload's exit codes: what a job's outcome means to the shell, with the short name the
// JSON outcome gives and the words of --help and the manual page.
#pragma once

#include <span>
#include <string>

#include "app/upload.h"

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

struct ExitMeaning {
    Exit Code;
    const char* Name;     // the JSON outcome
    const char* Meaning;  // the words of --help
};

// Every exit code, in order.
std::span<const ExitMeaning> ExitMeanings();
// The exit codes and their meanings, one to a line, as --help lists them.
std::string ExitStatusText();
// The short name of an exit code ("failed" for one not in the table).
const char* ExitName(int code);
// The exit code that reports a job's outcome.
Exit ExitCodeOf(JobOutcome outcome);
