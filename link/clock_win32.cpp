// Timing on Windows. Sleep rounds up to the system timer's tick, 15.6 ms by default, which
// would stretch every 20 ms poll step to 31 ms; making a clock raises the timer resolution to
// 1 ms for the rest of the run. The clock is the performance counter, which wall-clock
// changes do not move.
#include <windows.h>

#include "link/clock.h"

namespace {

// The performance counter in microseconds; the tick count where there is no usable counter.
int64_t CounterUs() {
    LARGE_INTEGER frequency{}, now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 1000 ||
        !QueryPerformanceCounter(&now))
        return static_cast<int64_t>(GetTickCount()) * 1000;
    // Whole seconds and the rest apart, so that the product cannot overflow.
    const LONGLONG f = frequency.QuadPart;
    return now.QuadPart / f * 1000000 + now.QuadPart % f * 1000000 / f;
}

}  // namespace

SystemClock::SystemClock() : startUs_(CounterUs()) {
    timeBeginPeriod(1);  // counted by the system; it ends with the process
}

void SystemClock::DelayMs(int ms) {
    if (ms <= 0) return;
    Sleep(static_cast<DWORD>(ms));
}

void SystemClock::DelayUs(int64_t us) {
    if (us >= 1000) DelayMs(static_cast<int>(us / 1000));
}

int64_t SystemClock::ElapsedUs() {
    return CounterUs() - startUs_;
}

int64_t SystemClock::ElapsedMs() {
    return ElapsedUs() / 1000;
}
