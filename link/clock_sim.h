// A simulated clock for programs that exercise long waits quickly: DelayMs moves the clock
// on instead of sleeping, and ElapsedMs reads it.
#pragma once

#include <cstdint>

#include "link/clock.h"

class SimClock final : public Clock {
public:
    void DelayMs(int ms) override;
    void DelayUs(int64_t us) override;
    int64_t ElapsedMs() override;
    int64_t ElapsedUs() override;
    // Moves the clock on by `us` microseconds (a simulated line uses it for byte times).
    void AdvanceUs(int64_t us);

private:
    int64_t nowUs_ = 0;
};
