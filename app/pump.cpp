#include "app/pump.h"

#include <algorithm>
#include <cstdint>

#include "app/session.h"
#include "ui/log.h"

namespace {

constexpr int kPumpStepMs = 20;

// The window's events, with a press of Cancel turned into a stop where the job would not
// look at it, or when it is the second.
bool DrainEvents(Session& s) {
    PumpState& p = s.Pump;
    bool cancel = s.Front.DrainWindowEvents();
    if (cancel && p.CancelEverywhere && (!p.CancelWatched || ++p.CancelPresses >= 2))
        RequestStop(s);
    return cancel;
}

}  // namespace

bool PumpEvents(Session& s) {
    ShowLogEnd(s);
    bool cancel = DrainEvents(s) || s.Pump.CancelKept;
    s.Pump.CancelKept = false;
    return cancel;
}

void DelayPumping(Session& s, int ms) {
    if (ms <= 0) return;
    // Measured against the clock, so that the time the window takes is part of the wait
    // rather than added to it; in microseconds, so that the wait is never shorter than asked.
    const int64_t end = s.Time.ElapsedUs() + int64_t{ms} * 1000;
    for (int64_t left = int64_t{ms} * 1000; left > 0 && !StopRequested(s);
         left = end - s.Time.ElapsedUs()) {
        s.Time.DelayMs(static_cast<int>(std::min<int64_t>((left + 999) / 1000, kPumpStepMs)));
        if (DrainEvents(s)) s.Pump.CancelKept = true;
    }
}

bool AwaitInputPumping(Session& s, int ms) {
    const int64_t end = s.Time.ElapsedMs() + (ms > 0 ? ms : 0);
    for (int64_t left = end - s.Time.ElapsedMs();; left = end - s.Time.ElapsedMs()) {
        bool arrived =
            s.Port.WaitForInput(static_cast<int>(std::clamp<int64_t>(left, 0, kPumpStepMs)));
        if (DrainEvents(s)) s.Pump.CancelKept = true;
        if (arrived) return true;
        if (left <= kPumpStepMs || StopRequested(s)) return false;
    }
}

void ForgetCancel(Session& s) {
    s.Pump.CancelKept = false;
    s.Pump.CancelPresses = 0;
}

void SetCancelEverywhere(Session& s, bool on) {
    s.Pump.CancelEverywhere = on;
}

void RequestStop(Session& s) {
    s.Pump.StopRequested = true;
}

bool StopRequested(const Session& s) {
    return s.Pump.StopRequested;
}

void WatchCancel(Session& s, bool on) {
    // A press during the last lines, after the job last looked, would go unseen.
    if (!on && s.Pump.CancelKept && s.Pump.CancelEverywhere) RequestStop(s);
    s.Pump.CancelWatched = on;
}
