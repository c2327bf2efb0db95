// Timing on Windows. Sleep rounds up to the system timer's tick, 15.6 ms by default, which
// would stretch every 20 ms poll step to 31 ms; the first DelayMs raises the timer
// resolution to 1 ms for the rest of the run. The clock is the performance counter, which
// wall-clock changes do not move.
#include <windows.h>

#include "link/clock.h"

namespace {

struct CounterStart {
    bool Present = false;
    LARGE_INTEGER Start{};
    LONGLONG Frequency = 0;
};

CounterStart FirstReading() {
    CounterStart c;
    LARGE_INTEGER frequency{};
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart >= 1000 &&
        QueryPerformanceCounter(&c.Start)) {
        c.Present = true;
        c.Frequency = frequency.QuadPart;
    }
    return c;
}

}  // namespace

void DelayMs(int ms) {
    static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    if (ms <= 0) return;
    Sleep(static_cast<DWORD>(ms));
}

void DelayUs(int64_t us) {
    if (us >= 1000) DelayMs(static_cast<int>(us / 1000));
}

int64_t ElapsedUs() {
    static const CounterStart counter = FirstReading();
    if (!counter.Present) return static_cast<int64_t>(GetTickCount()) * 1000;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart, so that the product cannot overflow.
    LONGLONG ticks = now.QuadPart - counter.Start.QuadPart;
    return ticks / counter.Frequency * 1000000 +
           ticks % counter.Frequency * 1000000 / counter.Frequency;
}

int64_t ElapsedMs() {
    return ElapsedUs() / 1000;
}
