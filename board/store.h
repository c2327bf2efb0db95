// The board's storage, a folder given by --store (nothing is written without it):
//   transcript.log   every byte received, as received, from the board's start
//   program.bas      the program saved by AUTOSAVE or AUTO: each line + LF, as the
//                    interpreter keeps it (TABs made spaces, blanks at its end dropped)
//   <name>           a program saved by AUTOSAVE "name" (same format) or a file received by
//                    XMODEM (every block's data as received, padding included)
//   run-output.txt   what the last RUN printed, lines ending LF
//   clock.txt        one line per clock setting: "DATE dd/mm/yyyy", "TIME hh:mm:ss",
//                    "RTC yyyy mm dd hh mm ss"
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// Creates the folder and starts an empty transcript. False when the folder cannot be made.
bool OpenStore(Board& board);
void CloseStore(Board& board);
void RecordReceived(Board& board, const uint8_t* bytes, int count);
// A name the board may store under: no folders, no "." or "..", no control characters.
bool IsSafeFileName(const std::string& name);
// Writes (replaces) a file of the store. False on failure, with a status line.
bool WriteStoreFile(Board& board, const std::string& name, const std::string& bytes);
void RemoveStoreFile(Board& board, const std::string& name);
// A file of the store, whole; false when there is none.
bool ReadStoreFile(const Board& board, const std::string& name, std::string& bytes);
void AppendClockLine(Board& board, const std::string& line);
