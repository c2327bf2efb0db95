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

// Stopping at once. The window's Cancel is looked at only while program lines stream; a
// front end whose Cancel must work at every moment (the headless program's Ctrl-C) turns
// on "cancel everywhere": then a press seen while the job does not look for one, a second
// press, or one still unseen when the streaming ends, asks for a stop. Once a
// stop is asked for, every pumped wait ends at once and the job winds up in order.
void SetCancelEverywhere(bool on);
// Safe from a signal handler or another thread.
void RequestStop();
bool StopRequested();
// A new run of the program (tests) starts without a stop.
void ForgetStop();
// The job looks for Cancel from `WatchCancel(true)` to `WatchCancel(false)`.
void WatchCancel(bool on);
