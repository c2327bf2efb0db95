// The event pump of one session, its pumped waits, and how a press of "Cancel" or a stop
// reaches the job.
#pragma once

#include <atomic>

struct Session;

// What the pump keeps between calls.
struct PumpState {
    bool CancelKept = false;        // a press seen during a pumped wait, for the next pump
    bool CancelEverywhere = false;  // see SetCancelEverywhere
    bool CancelWatched = false;     // the job looks for Cancel now (WatchCancel)
    int CancelPresses = 0;          // seen since the job started
    // Set from a signal handler or another thread as well.
    std::atomic<bool> StopRequested{false};
};

// The event pump: shows the log's end, lets the window handle every pending event without
// the program acting on any, and reports whether one of them was a press of "Cancel" (also
// one that came during a DelayPumping since the last call).
bool PumpEvents(Session& s);

// Waits `ms` milliseconds (nothing for 0 or less) in steps of at most 20 ms, letting the
// window repaint between them, so that a long wait for the board does not freeze it. A press
// of "Cancel" seen meanwhile is kept for the next PumpEvents, where the job checks for it.
void DelayPumping(Session& s, int ms);

// Waits at most `ms` milliseconds for bytes from the board, waking the moment they arrive,
// letting the window repaint at least every 20 ms as DelayPumping does. True when bytes wait
// to be read.
bool AwaitInputPumping(Session& s, int ms);

// Drops a kept press of "Cancel": a job starts without one left over from the last.
void ForgetCancel(Session& s);

// Stopping at once. The window's Cancel is looked at only while program lines stream; a
// front end whose Cancel must work at every moment (the headless program's Ctrl-C) turns
// on "cancel everywhere": then a press seen while the job does not look for one, a second
// press, or one still unseen when the streaming ends, asks for a stop. Once a
// stop is asked for, every pumped wait ends at once and the job winds up in order.
void SetCancelEverywhere(Session& s, bool on);
// Safe from a signal handler or another thread.
void RequestStop(Session& s);
bool StopRequested(const Session& s);
// The job looks for Cancel from `WatchCancel(true)` to `WatchCancel(false)`.
void WatchCancel(Session& s, bool on);
