// Timing: a millisecond sleep and a monotonic millisecond clock (clock_posix.cpp,
// clock_win32.cpp).
#pragma once

#include <cstdint>

// Blocks the calling thread for `ms` milliseconds (nothing for 0 or less).
void DelayMs(int ms);
// Blocks for `us` microseconds, as finely as the platform sleeps (Windows: whole milliseconds,
// the rest dropped). For waits shorter than a millisecond, such as a few bytes' line time.
void DelayUs(int64_t us);
// Milliseconds since the clock's first use; never goes backwards, ignores wall-clock changes.
int64_t ElapsedMs();
// The same clock in microseconds, for waits that must last at least their nominal length:
// on the millisecond clock a wait started late in one millisecond would end up to 1 ms early.
int64_t ElapsedUs();
