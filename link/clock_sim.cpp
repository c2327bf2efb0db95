#include "link/clock_sim.h"

void SimClock::AdvanceUs(int64_t us) {
    if (us > 0) nowUs_ += us;
}

void SimClock::DelayMs(int ms) {
    if (ms > 0) AdvanceUs(int64_t{ms} * 1000);
}

void SimClock::DelayUs(int64_t us) {
    AdvanceUs(us);
}

int64_t SimClock::ElapsedMs() {
    return nowUs_ / 1000;
}

int64_t SimClock::ElapsedUs() {
    return nowUs_;
}
