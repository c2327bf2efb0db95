// Reading an answer from the controlling terminal (terminal_posix.cpp, terminal_win32.cpp).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "source/text.h"

// Prints the prompt on stderr and reads one line from the terminal; with `secret` the
// typing is not echoed. Returns nothing when there is no terminal to ask.
std::optional<Text> AskOnTerminal(const std::string& prompt, const std::string& defaultText,
                                  bool secret);
// The width of the terminal behind the stream in columns; 80 when it cannot be told.
int TerminalColumns(std::FILE* stream);
// True when the stream is a terminal.
bool StreamIsTerminal(std::FILE* stream);
// Turns Ctrl-C at the terminal into a press of "Cancel" (RequestCancel, window_cli.h), and
// the terminal closing or a request to end (SIGTERM, SIGHUP) into a stop (RequestStopNow).
void InstallCancelOnInterrupt();
// The program's arguments after its name, in UTF-8. POSIX passes them so already; on
// Windows `argv` is in the ANSI code page, which cannot spell every file name, so they
// are taken from the wide command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Makes the console show the UTF-8 this program prints (Windows); nothing elsewhere.
void UseUtf8Console();
