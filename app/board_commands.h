// The board's commands as an upload sends them: the first look at the board and its PIN,
// NEW, the clock commands, the start and the end of program entry with the wait for the
// save, RUN, and the Ctrl-C of a stop. Each one's waits let the session's window run.
#pragma once

#include "app/upload.h"
#include "link/sendwait.h"
#include "source/text.h"

struct Session;

// The board dialogue's interrupt as text.
Text CtrlC();
// A wait of n line delays. A hand-edited LineDelay can be huge; the wait saturates instead
// of overflowing.
int LineDelays(const Session& s, int n);
// One exchange with the board, its waits letting the window run.
Text Exchange(Session& s, TextView text, int wait);
// An exchange that fast mode speeds up: by default as above, with its fixed wait or 20 ms
// polls; in fast mode the reply is taken as it arrives and the exchange ends when `until`
// holds, with the default's whole wait as its limit.
Text Exchange(Session& s, TextView text, int wait, Until until);
// A log line, then the event pump.
void LogAndPump(Session& s, TextView text);

// Answers the board's PIN prompt. False when the upload must stop. `known` is the PIN a
// try before this one gave: a further try answers with it instead of asking again.
bool AnswerPin(Session& s, Text& known);
// A command and its reply logged. In fast mode a command ends once the board settled at the
// prompt after its answer (a command ending CR LF may get two). A start of program entry
// ends at its echo's line end in both modes (the command profile has none: its empty start
// gets a prompt).
void SendCommandAndLog(Session& s, const Text& command, int wait);
// NEW, the clock commands and the start of program entry; a stop asked for meanwhile ends
// it at once.
void PrepareBoard(Session& s);
// After the program is stored: the check of what the board keeps when asked for, then RUN
// when `runs`; a program that was not verified is not run.
JobOutcome VerifyAndRun(Session& s, bool runs);
// Ends program entry, waits for the save when the board is still at it, verifies the stored
// program when asked to, and runs it; a program that was not saved or not verified is not
// run. Aborted when a Cancel or a stop ended the wait.
JobOutcome EndProgramEntry(Session& s);
// A stop asked for at any moment: Ctrl-C to the board, which the ending wait does not hold
// up, and a line that says so.
JobOutcome StopUpload(Session& s);
