#pragma once

#include "link/hooks.h"

// The event pump: shows the log's end, lets the window handle every pending event without
// the program acting on any, and reports whether one of them was a press of "Cancel" (also
// one that came during a DelayPumping since the last call).
bool PumpEvents();

// Waits `ms` milliseconds (nothing for 0 or less) in steps of at most 20 ms, letting the
// window repaint between them, so that a long wait for the board does not freeze it. A press
// of "Cancel" seen meanwhile is kept for the next PumpEvents, where the job checks for it.
void DelayPumping(int ms);

// Waits at most `ms` milliseconds for bytes from the board, waking the moment they arrive,
// letting the window repaint at least every 20 ms as DelayPumping does. True when bytes wait
// to be read.
bool AwaitInputPumping(int ms);

// Drops a kept press of "Cancel": a job starts without one left over from the last.
void ForgetCancel();

// The link's hooks for this program: log lines go to the log pane, progress to the progress
// label, the pump is PumpEvents and every wait is a DelayPumping.
const LinkHooks& WindowLinkHooks();
