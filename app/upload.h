// The upload job and the dispatcher for a dropped file.
#pragma once

#include "source/text.h"

// How the last job ended, for front ends that report it (the headless exit code).
enum class JobOutcome {
    Completed,        // streamed and ended normally, or an encoded file was written
    NothingToLoad,    // empty program text
    NoPort,           // the port was not set or could not be opened
    WrongPin,         // PIN left empty or rejected
    Aborted,          // Cancel pressed, or the port vanished during streaming
    TransferFailed,   // XMODEM did not complete
    FirmwareWaiting,  // firmware reset done; the copy waits for the board's drive
    FirmwareFailed,   // no firmware port, or it could not be opened
    NotSaved,         // an encode request whose file was not written
};

// Prepares `App.ProgramText` and uploads it (or writes an encoded file).
void RunUploadJob();
// How a file goes to the board: chosen by its extension as for a dropped file, or as the
// user asked.
enum class UploadAs { ByExtension, ProgramText, Xmodem, Firmware };
// A dropped file: firmware (.uf2), XMODEM (not a text type) or program text.
void UploadFile(TextView path, UploadAs as = UploadAs::ByExtension);
JobOutcome LastJobOutcome();
// Leaves the port open when a job ends (a console follows it) instead of closing it and
// logging "Disconnected.". Off by default.
void KeepPortAfterJob(bool keep);
