#include "app/pump.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "link/clock.h"
#include "link/serial.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

constexpr int kPumpStepMs = 20;
bool cancelKept = false;
bool cancelEverywhere = false;
bool cancelWatched = false;
int cancelPresses = 0;  // seen since the job started
std::atomic<bool> stopRequested{false};

// The window's events, with a press of Cancel turned into a stop where the job would not
// look at it, or when it is the second.
bool DrainEvents() {
    bool cancel = DrainWindowEvents();
    if (cancel && cancelEverywhere && (!cancelWatched || ++cancelPresses >= 2)) RequestStop();
    return cancel;
}

}  // namespace

bool PumpEvents() {
    ShowLogEnd();
    bool cancel = DrainEvents() || cancelKept;
    cancelKept = false;
    return cancel;
}

void DelayPumping(int ms) {
    if (ms <= 0) return;
    // Measured against the clock, so that the time the window takes is part of the wait
    // rather than added to it; in microseconds, so that the wait is never shorter than asked.
    const int64_t end = ElapsedUs() + int64_t{ms} * 1000;
    for (int64_t left = int64_t{ms} * 1000; left > 0 && !StopRequested();
         left = end - ElapsedUs()) {
        DelayMs(static_cast<int>(std::min<int64_t>((left + 999) / 1000, kPumpStepMs)));
        if (DrainEvents()) cancelKept = true;
    }
}

bool AwaitInputPumping(int ms) {
    const int64_t end = ElapsedMs() + (ms > 0 ? ms : 0);
    for (int64_t left = end - ElapsedMs();; left = end - ElapsedMs()) {
        bool arrived = WaitForInput(static_cast<int>(std::clamp<int64_t>(left, 0, kPumpStepMs)));
        if (DrainEvents()) cancelKept = true;
        if (arrived) return true;
        if (left <= kPumpStepMs || StopRequested()) return false;
    }
}

void ForgetCancel() {
    cancelKept = false;
    cancelPresses = 0;
}

const LinkHooks& WindowLinkHooks() {
    static const LinkHooks hooks{
        [](TextView line) { AppendLog(line); },
        [](TextView text) { SetProgressLabel(text); },
        [] { return PumpEvents(); },
        [](int ms) { DelayPumping(ms); },
        [](int ms) { return AwaitInputPumping(ms); },
        [] { return StopRequested(); },
    };
    return hooks;
}

void SetCancelEverywhere(bool on) {
    cancelEverywhere = on;
}

void RequestStop() {
    stopRequested = true;
}

bool StopRequested() {
    return stopRequested;
}

void ForgetStop() {
    stopRequested = false;
}

void WatchCancel(bool on) {
    // A press during the last lines, after the job last looked, would go unseen.
    if (!on && cancelKept && cancelEverywhere) RequestStop();
    cancelWatched = on;
}
