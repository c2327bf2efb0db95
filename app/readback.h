// Reading from the board: a file or the program in memory fetched by XMODEM and written to
// the computer, and the check that the board stored the program that was sent.
#pragma once

#include <string>
#include <vector>

#include "app/upload.h"
#include "source/text.h"

struct Session;

// Connects, brings the board to its prompt and receives `name` (empty: the program in
// memory), writing it to `target` through a temporary file and a rename. An existing file
// is replaced only when `mayReplace`; nothing is written unless the whole file came.
JobOutcome GetFileFromBoard(Session& s, TextView name, TextView target, bool mayReplace);

// With program entry ended: reads the stored program back (the named file of a profile that
// saves under a name, else the program in memory) and compares it with the lines sent, as
// the board keeps text. Logs the first lines that differ.
JobOutcome VerifyStoredProgram(Session& s);

// After a file went by XMODEM: reads it back and compares it byte for byte with the file at
// `path`, both without the zero bytes that pad the last block.
JobOutcome VerifyStoredFile(Session& s, TextView path, TextView name);

// Where a program read back differs from the lines sent, as log lines (at most `limit`
// differences); empty when they agree. Both sides are compared as boards keep text: line
// ends of either kind, TABs and runs of blanks alike, no blanks at a line's ends, blank lines
// left out, letters outside string literals in any case (keywords come back in the board's
// own spelling).
std::vector<Text> StoredTextDifferences(const std::vector<Text>& sentLines, TextView stored,
                                        size_t limit = 3);
