// Timing: a millisecond sleep and a monotonic clock, as an interface handed to whoever waits,
// so that a program (a test) can run long waits on a simulated clock instead of sleeping.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    // Blocks the calling thread for `ms` milliseconds (nothing for 0 or less).
    virtual void DelayMs(int ms) = 0;
    // Blocks for `us` microseconds, as finely as the platform sleeps (Windows: whole
    // milliseconds, the rest dropped). For waits shorter than a millisecond, such as a few
    // bytes' line time.
    virtual void DelayUs(int64_t us) = 0;
    // Milliseconds since the clock was made; never goes backwards, ignores wall-clock changes.
    virtual int64_t ElapsedMs() = 0;
    // The same clock in microseconds, for waits that must last at least their nominal length:
    // on the millisecond clock a wait started late in one millisecond would end up to 1 ms early.
    virtual int64_t ElapsedUs() = 0;
};

// The platform's clock: real sleeps and the system's monotonic clock (clock_posix.cpp,
// clock_win32.cpp). Each one counts from when it was made.
class SystemClock final : public Clock {
public:
    SystemClock();
    void DelayMs(int ms) override;
    void DelayUs(int64_t us) override;
    int64_t ElapsedMs() override;
    int64_t ElapsedUs() override;

private:
    int64_t startUs_;  // the system's monotonic clock when this one was made
};
