#include "app/pump.h"

#include <algorithm>
#include <cstdint>

#include "link/clock.h"
#include "link/serial.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

constexpr int kPumpStepMs = 20;
bool cancelKept = false;

}  // namespace

bool PumpEvents() {
    ShowLogEnd();
    bool cancel = DrainWindowEvents() || cancelKept;
    cancelKept = false;
    return cancel;
}

void DelayPumping(int ms) {
    if (ms <= 0) return;
    // Measured against the clock, so that the time the window takes is part of the wait
    // rather than added to it; in microseconds, so that the wait is never shorter than asked.
    const int64_t end = ElapsedUs() + int64_t{ms} * 1000;
    for (int64_t left = int64_t{ms} * 1000; left > 0; left = end - ElapsedUs()) {
        DelayMs(static_cast<int>(std::min<int64_t>((left + 999) / 1000, kPumpStepMs)));
        if (DrainWindowEvents()) cancelKept = true;
    }
}

bool AwaitInputPumping(int ms) {
    const int64_t end = ElapsedMs() + (ms > 0 ? ms : 0);
    for (int64_t left = end - ElapsedMs();; left = end - ElapsedMs()) {
        bool arrived = WaitForInput(static_cast<int>(std::clamp<int64_t>(left, 0, kPumpStepMs)));
        if (DrainWindowEvents()) cancelKept = true;
        if (arrived) return true;
        if (left <= kPumpStepMs) return false;
    }
}

void ForgetCancel() {
    cancelKept = false;
}

const LinkHooks& WindowLinkHooks() {
    static const LinkHooks hooks{
        [](TextView line) { AppendLog(line); },
        [](TextView text) { SetProgressLabel(text); },
        [] { return PumpEvents(); },
        [](int ms) { DelayPumping(ms); },
        [](int ms) { return AwaitInputPumping(ms); },
    };
    return hooks;
}
