#include "link/clock_sim.h"

#include "link/clock.h"

namespace {
int64_t nowUs = 0;
}  // namespace

void AdvanceSimClockUs(int64_t us) {
    if (us > 0) nowUs += us;
}

int64_t SimClockUs() {
    return nowUs;
}

void ResetSimClock() {
    nowUs = 0;
}

void DelayMs(int ms) {
    if (ms > 0) AdvanceSimClockUs(int64_t{ms} * 1000);
}

void DelayUs(int64_t us) {
    AdvanceSimClockUs(us);
}

int64_t ElapsedMs() {
    return nowUs / 1000;
}

int64_t ElapsedUs() {
    return nowUs;
}
