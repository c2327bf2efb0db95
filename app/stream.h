// The streaming of the program's lines to the board, one loop for every kind of pacing: each
// line goes out, its echo or answer is checked, and the streaming ends early on a stop, a
// vanished port, a line the board turned down or took wrongly, or a press of Cancel.
#pragma once

#include <vector>

#include "source/text.h"

struct Session;

enum class StreamEnd { Done, Cancelled, Vanished, Stopped, Rejected, Garbled };

// Streams `s.App.ProgramText` line by line, paced as the session's profile and mode ask:
// typed at the prompt (the command profile), in program entry on fixed 20 ms polls, or fast
// (each line the moment the one before was echoed).
StreamEnd StreamProgram(Session& s);

// "line 5: Print ..." with the line's first characters, as a log line names a program line.
Text NameOfLine(long number, const Text& line);
