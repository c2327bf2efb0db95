// The upload job and the dispatcher for a dropped file.
#pragma once

#include "source/text.h"

struct Session;

// How the last job ended, for front ends that report it (the headless exit code). Every
// outcome but Completed is a failure of some kind.
enum class JobOutcome {
    Completed,            // streamed and ended normally, or an encoded file was written
    NothingToLoad,        // empty program text, also after decoding
    NoPort,               // the port was not set or could not be opened
    WrongPin,             // PIN left empty, rejected or never answered
    Aborted,              // Cancel pressed during streaming, or a stop asked for (Ctrl-C)
    PortVanished,         // the port's device went away during streaming
    Rejected,             // the board reported an error or left program entry, or a line
                          // held a character that would end program entry
    NoReply,              // the board sent nothing before the first program line
    NotEchoed,            // some program lines were never echoed
    TransferFailed,       // XMODEM did not complete
    FirmwareWaiting,      // firmware reset done; the copy waits for the board's drive
    FirmwareNoPort,       // no firmware port chosen
    FirmwareResetFailed,  // the firmware port could not be opened
    NotSaved,             // an encode request whose file was not written
    NotOnBoard,           // the board answered a read-back with an error (no such file)
    Differs,              // the program read back differs from what was sent
    NotVerified,          // the program could not be read back to verify it
    FirmwareRefused,      // the firmware file is missing or not a UF2 image: no reset done
    NotRead,              // the file could not be read (missing, not a file, too large)
    NameRefused,          // the board cannot take the file name; nothing was sent
    BaudRefused,          // the upload would run at the firmware reset's 1200 baud
    BoardDidNotSave,      // a board that confirms saves ended program entry without one
    Garbled,              // a program line's echo showed the board took it wrongly
};

// What the board said during one upload, beyond the log.
struct Hearing {
    bool BeforeLines = false;  // anything at all came before the first program line
    long Unechoed = 0;         // program lines whose echo never came
    bool Echoed = false;       // some program line was echoed whole: the board is in entry
    long FirstUnechoed = 0;    // the first of them
    long GarbledLine = 0;      // the line whose echo showed the board took it wrongly
};

// What a session keeps of its jobs.
struct JobState {
    JobOutcome LastOutcome = JobOutcome::Completed;
    bool KeepPort = false;  // see KeepPortAfterJob
    Hearing Heard;
};

// Prepares `s.App.ProgramText` and uploads it (or writes an encoded file).
JobOutcome RunUploadJob(Session& s);
// How a file goes to the board: chosen by its extension as for a dropped file, or as the
// user asked.
enum class UploadAs { ByExtension, ProgramText, Xmodem, Firmware };
// A dropped file: firmware (.uf2), XMODEM (not a text type) or program text.
JobOutcome UploadFile(Session& s, TextView path, UploadAs as = UploadAs::ByExtension);
// The outcome of the session's last job.
JobOutcome LastJobOutcome(const Session& s);
// Why a file name cannot go to the board inside a quoted command, as a log line; empty when
// it can.
Text BoardFileNameRefusal(TextView name);
// Brings the board to its prompt as an upload does (Ctrl-C, the PIN answered when it asks).
// False when it must not go on: no PIN, a wrong one, or a stop asked for.
bool ReachBoardPrompt(Session& s);
// Ends a job as an upload does: the port closed and "Disconnected." unless it is kept.
void FinishJob(Session& s);
// The longest PIN the board is answered with.
inline constexpr size_t kLongestPin = 10;
// A PIN the board can take: digits only, one to kLongestPin of them.
bool IsPlausiblePin(TextView pin);
// Leaves the port open when a job ends (a console follows it) instead of closing it and
// logging "Disconnected.". Off by default.
void KeepPortAfterJob(Session& s, bool keep);
