// The serial console that follows a job (or stands alone): what the board prints appears on
// the terminal, what the user types goes to the board byte for byte, and Ctrl-] ends it.
// When the board's device goes away the console says so and waits for a port of the same
// path, or one with the same USB identity (vendor, product, serial number), to come back,
// then carries on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "app/console.h"
#include "source/text.h"

struct Session;

// The key that ends the console: Ctrl-], which the board never needs.
inline constexpr uint8_t kConsoleQuitKey = 0x1D;

struct ConsoleSettings {
    Text Port;  // as the user named it (a path, a name under /dev, comN)
    long long Baud = 38400;
    std::FILE* Out = stdout;          // where the board's output is shown
    bool ShowControlsEscaped = true;  // a terminal: control characters shown as \xHH
    // When set, gets every byte the board sent, unchanged. A write that fails is said once
    // and leaves the stream's error flag set; later output is not captured.
    std::FILE* Capture = nullptr;
    std::FILE* Notices = stderr;  // the console's own lines (waiting, back, leaving)
    // Looked at between reads (every 10 ms at most): true ends the console quietly, for a
    // caller that has other work for the port (an upload after a save) and comes back.
    std::function<bool()> Leave;
};

// Runs the console on the session's open port (or opens it) until the quit key, a request to stop
// (SIGTERM, SIGHUP; SIGINT when the keyboard is not raw) or `Leave`. Returns false when the
// port could not be opened at the start.
bool RunConsole(Session& s, const ConsoleSettings& settings);

// ---- Platform (console_posix.cpp, console_win32.cpp) ----

// Puts the keyboard into raw mode: every key is read at once and goes to the board as it
// is, Ctrl-C and Ctrl-Z included. False when standard input is not a terminal (it is then
// read as it comes). Safe to call when already raw.
bool EnterRawKeyboard();
// Restores the terminal as it was before EnterRawKeyboard (also done on SIGTERM and SIGHUP),
// and ends and joins a thread that read redirected input for the console (Windows).
void LeaveRawKeyboard();
// Waits up to `waitMs` for keyboard bytes and reads those that are there. 0 when none came
// in time, -1 at end of input.
int ReadKeyboard(uint8_t* buffer, int capacity, int waitMs);
// True once SIGTERM or SIGHUP (or SIGINT outside raw mode) asked the console to stop.
bool ConsoleStopRequested();
// Opens the capture file for appending, created when missing, never through a symbolic link.
// nullptr, with the reason in `why`, when it cannot be opened.
std::FILE* OpenCaptureFile(const std::string& utf8Path, std::string& why);
