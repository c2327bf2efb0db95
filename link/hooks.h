// What the link needs from the program above it, handed in by the caller: where its log
// lines go, where it shows how far a transfer is, and how it waits and lets the window run
// meanwhile. The link itself knows nothing of a window, so a benchmark or a second front end
// can fill these as it likes. A member left empty does nothing; an empty Wait just sleeps,
// an empty AwaitInput just waits on the port.
#pragma once

#include <functional>

#include "source/text.h"

struct LinkHooks {
    std::function<void(TextView)> Log;       // appends one line to the log
    std::function<void(TextView)> Progress;  // sets the progress text
    std::function<bool()> Pump;              // lets the window run; true when Cancel was pressed
    std::function<void(int)> Wait;           // waits this many ms, letting the window run
    // Waits at most this many ms for bytes from the board, waking when they come, letting the
    // window run; true when bytes wait to be read (fast mode).
    std::function<bool(int)> AwaitInput;
    std::function<bool()> Stopped;  // true once the job is to end at once: every
                                    // wait and loop of the link gives up
};

void HookLog(const LinkHooks& hooks, TextView line);
void HookProgress(const LinkHooks& hooks, TextView text);
bool HookPump(const LinkHooks& hooks);
void HookWait(const LinkHooks& hooks, int ms);
bool HookAwaitInput(const LinkHooks& hooks, int ms);
bool HookStopped(const LinkHooks& hooks);
