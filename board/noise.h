// The noisy wire (--noise RATE): bytes on their way to the board are lost or changed, each
// with probability RATE, drawn from a generator seeded by --noise-seed so that a run can be
// repeated. In program entry only printable bytes are hit (a line end or a control key
// never is: the interpreter's echo shows what it made of the line); during an XMODEM
// reception any byte is.
//
// Every fault goes to noise.log in the store, and so does the end of a program entry that
// took a damaged line: "saved a damaged program" when the end sequence saved it anyway,
// "abandoned a damaged program" when Ctrl-C threw it away, and "ran a damaged program" when
// RUN started one. A test or benchmark reads there whether a damaged program was ever kept.
// NEW, a program received whole or a clean entry replaces a damaged program in memory.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// Passes one byte through the wire: false when it was lost; otherwise `byte` may have been
// changed.
bool PassNoise(Board& board, uint8_t& byte);
// Program entry ended, with the program saved or abandoned.
void NoteEntryEnd(Board& board, bool saved);
// The program in memory is replaced (NEW, LOAD, a program received by XMODEM).
void NoteProgramReplaced(Board& board);
// RUN starts the program in memory.
void NoteRun(Board& board);
