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
    LONGLONG TicksPerMs = 0;
};

CounterStart FirstReading() {
    CounterStart c;
    LARGE_INTEGER frequency{};
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart >= 1000 &&
        QueryPerformanceCounter(&c.Start)) {
        c.Present = true;
        c.TicksPerMs = frequency.QuadPart / 1000;
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

int64_t ElapsedMs() {
    static const CounterStart counter = FirstReading();
    if (!counter.Present) return static_cast<int64_t>(GetTickCount());
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return (now.QuadPart - counter.Start.QuadPart) / counter.TicksPerMs;
}
