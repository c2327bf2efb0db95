#include "frontends/cli/exit_codes.h"

namespace {

constexpr ExitMeaning kExitMeanings[] = {
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

}  // namespace

std::span<const ExitMeaning> ExitMeanings() {
    return kExitMeanings;
}

std::string ExitStatusText() {
    std::string text;
    for (const ExitMeaning& e : kExitMeanings)
        text += (e.Code < 10 ? " " : "") + std::to_string(e.Code) + "  " + e.Meaning + "\n";
    return text;
}

const char* ExitName(int code) {
    for (const ExitMeaning& e : kExitMeanings)
        if (e.Code == code) return e.Name;
    return "failed";
}

Exit ExitCodeOf(JobOutcome outcome) {
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
