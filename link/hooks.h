// What the link needs from the program above it, handed in by the caller: where its log
// lines go, where it shows how far a transfer is, and how it waits and lets the window run
// meanwhile. The link itself knows nothing of a window, so a benchmark or a second front end
// can fill these as it likes. A member left empty does nothing; an empty Wait just sleeps,
// an empty AwaitInput just waits on the port.
#pragma once

#include <functional>

#include "source/text.h"

struct LinkHooks {
    std::function<void(TextView)> Log;                   // appends one line to the log
    std::function<void(TextView, long, long)> Progress;  // sets the progress text: a label and,
                                                         // when the total is known, how far of it
    std::function<bool()> Pump;     // lets the window run; true when Cancel was pressed
    std::function<void(int)> Wait;  // waits this many ms, letting the window run
    // Waits at most this many ms for bytes from the board, waking when they come, letting the
    // window run; true when bytes wait to be read (fast mode).
    std::function<bool(int)> AwaitInput;
    std::function<bool()> Stopped;  // true once the job is to end at once: every
                                    // wait and loop of the link gives up
};

struct Link;

// The hooks of `link`, each with its fallback when it is empty: an empty Wait sleeps on
// link.Time, an empty AwaitInput waits on link.Port.
void HookLog(Link& link, TextView line);
void HookProgress(Link& link, TextView text, long done = 0, long total = 0);
bool HookPump(Link& link);
void HookWait(Link& link, int ms);
bool HookAwaitInput(Link& link, int ms);
bool HookStopped(Link& link);
