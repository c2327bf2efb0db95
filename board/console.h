// The interpreter's console: PIN check, line editing with echo, the "> " prompt and the
// commands typed at it. Program entry (entry.cpp) and XMODEM (xmodem.cpp) take over the
// input while they run.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

inline constexpr const char* kPinPrompt = "Enter PIN or 0 to restart: ";
inline constexpr const char* kPrompt = "> ";

// The prompt as this board shows it: the picomite personality wraps it in terminal modes
// (autowrap on after it).
std::string Prompt(const Board& board);
// What that personality sends before a fresh prompt (after a break, a run or a save): the
// cursor shown and the colours set. Empty for the plain one.
std::string ModesBefore(const Board& board);

// Puts the console in its power-up state: waiting for a PIN when one is set, else ready.
void StartConsole(Board& board);
// Handles one byte from the client.
void ConsoleByte(Board& board, uint8_t byte);
// Executes one line typed at the prompt and answers it, ending with the prompt.
void ExecuteCommand(Board& board, const std::string& line);
// Runs the program in memory, answers with its output and the prompt, and stores the output.
void RunStoredProgram(Board& board);
// Ends a run, or the piece of it up to an INPUT, with its output (and the prompt at the end).
void EndOfRunPiece(Board& board, const std::string& error);
// Sends the program's output and any clock settings it made.
void DeliverBasicOutput(Board& board, const std::string& error);

// Program entry (entry.cpp).
void StartEntry(Board& board, EntryKind kind, const std::string& name);
// A byte while program entry runs; false when the console's line editing should handle it.
bool EntryControlByte(Board& board, uint8_t byte);
// The longest program line the interpreter takes; one more character ends program entry.
inline constexpr size_t kEntryLineLimit = 241;
// A program line grew past kEntryLineLimit: "Error: Line length", nothing is saved, and the
// console is back at its prompt, where whatever follows runs as commands.
void RefuseLongLine(Board& board);
void EntryLine(Board& board, const std::string& line);
// A complete escape sequence received during program entry.
void EntrySequence(Board& board, const std::string& sequence);
// Program text that came whole (XMODEM into program memory, LOAD): padding at its end
// (NUL, Ctrl-Z) dropped, lines split at LF without their CR; it becomes the program in
// memory and program.bas, each line kept as program entry keeps it.
void TakeProgramText(Board& board, const std::string& bytes);
// Decides whether the echo of the line that starts now is to be lost (--lose-echo).
void BeginLine(Board& board);
