// The command line of qz-board: one table feeds both parsing and --help.
#pragma once

#include <string>

#include "board/board.h"

// Fills `options` from argv. False with a message in `error` on a bad command line.
bool ParseOptions(int argc, char** argv, BoardOptions& options, std::string& error);
// The usage text, one line per option of the table.
std::string HelpText();
