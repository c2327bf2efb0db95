// The board's console: what the board prints is shown as it comes, what the user types goes
// to the board as typed, and a board that goes away is waited for and found again.
//
// The pieces here serve both kinds of console: the headless program's, on a terminal, and
// the windows' ("Stay connected"), where the log pane becomes the console between jobs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "link/echo.h"
#include "settings/ports.h"
#include "source/text.h"

class SerialPort;
struct Session;

// What a console shows for bytes the board sent: decoded from the ANSI code page, and with
// `escapeControls` control characters made visible (\x1B), except CR, LF, TAB and
// backspace, which keep their meaning (backspace moves back as the board's line editing
// means it to).
std::string ConsoleShows(const std::string& bytes, bool escapeControls);

// The port a console follows, and what finds the board again once it went away: the same
// name, or a port with the same USB identity (vendor, product and serial number), so a
// board that comes back as ttyACM1 instead of ttyACM0 is still found.
struct ConsoleTarget {
    Text Port;  // as the user named it
    long long Baud = 0;
    PortIdentity Identity;  // Serial empty: no USB identity known
};
ConsoleTarget TargetOf(TextView port, long long baud);
// Opens the target's port again: its own name first, then a port with its USB identity.
// Returns the name opened, empty when neither opened.
Text ReopenTarget(SerialPort& port, const ConsoleTarget& target);

// Keys that have no character of their own, sent as the VT100 sequences the boards' full
// screen editors read.
enum class ConsoleKey {
    Up,
    Down,
    Right,
    Left,
    Home,
    Insert,
    Delete,
    End,
    PageUp,
    PageDown,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};
std::string ConsoleKeyBytes(ConsoleKey key);

// The window's console lines are this many at most: a board that prints for ever does not
// grow the log without end.
inline constexpr int kConsoleScrollBackLines = 20000;

// The window's console ("Stay connected"): a front end owns one, switches it with SetOn,
// runs every command that may start a job through RunJob, and calls Poll every few
// milliseconds from its event loop. With the switch off, it does nothing at all: jobs run
// exactly as without it.
class WindowConsole {
public:
    // The console of session `s`, which outlives it.
    explicit WindowConsole(Session& s) : s_(s) {}
    WindowConsole(const WindowConsole&) = delete;
    WindowConsole& operator=(const WindowConsole&) = delete;
    // A window that goes lets go of the port it held.
    ~WindowConsole();

    bool On() const;
    // The switch: stores App.StayConnected. Off closes the console's port.
    void SetOn(bool on);
    // True while the port is the console's: keys typed in the log pane go to the board.
    bool TakesKeys() const;

    // Runs a command that may start a job. With the switch on, the console lets go of the
    // port first (the job opens it itself), the job leaves the port open and RUN's reply to
    // the console, and the console goes on afterwards.
    void RunJob(const std::function<void()>& command);

    // Shows what the board sent, paces a paste, notices a board that went away and finds it
    // again, and follows a new choice of port or baud rate. Does nothing while a command
    // runs. True when it showed something.
    bool Poll();

    // Typed characters, sent as they are: Enter as CR, Backspace as 0x08, Ctrl-C as 0x03.
    void TypeText(TextView text);
    void TypeKey(ConsoleKey key);
    // Pasted text goes line by line, each line once the board has echoed the one before.
    void Paste(TextView text);

private:
    enum class State { Closed, Connected, Waiting };
    struct PasteLine {
        Text Line;
        bool Entered;  // ended by a line end: sent with Enter, and its echo awaited
    };
    void Open();
    void Close();
    void WentAway();
    void ShowArrived(const std::string& bytes);
    void SendNextPasteLine();
    void Send(const std::string& bytes);

    Session& s_;
    State state_ = State::Closed;
    bool openDue_ = true;  // open at the next Poll: just switched on, or started switched on
    bool inJob_ = false;
    ConsoleTarget target_;
    Text chosenPort_;  // App.Comport and App.SerialSpeed when the console last opened
    Text chosenSpeed_;
    int64_t nextTry_ = 0;
    // A paste in progress: the lines still to go, and the echo awaited for the one sent.
    std::deque<PasteLine> paste_;
    bool pasteAwaiting_ = false;
    int64_t pasteDeadline_ = 0;
    long pasteNumber_ = 0;
    EchoCheck pasteEcho_;
};
