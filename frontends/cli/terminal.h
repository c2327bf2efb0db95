// Reading an answer from the controlling terminal (terminal_posix.cpp, terminal_win32.cpp).
#pragma once

#include <string>

#include "source/text.h"

// Prints the prompt on stderr and reads one line from the terminal; with `secret` the
// typing is not echoed. Returns empty text when there is no terminal to ask.
Text AskOnTerminal(const std::string& prompt, const std::string& defaultText, bool secret);
// True when the stream is a terminal.
bool StreamIsTerminal(std::FILE* stream);
// Turns Ctrl-C at the terminal into a press of "Cancel" (RequestCancel, window_cli.h).
void InstallCancelOnInterrupt();
