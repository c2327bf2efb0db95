// A simulated clock for programs that exercise long waits quickly: DelayMs moves the clock
// on instead of sleeping, and ElapsedMs reads it. Linked instead of the platform's clock.
#pragma once

#include <cstdint>

// Moves the clock on by `us` microseconds (a simulated line uses it for byte times).
void AdvanceSimClockUs(int64_t us);
// The clock in microseconds.
int64_t SimClockUs();
// Back to zero.
void ResetSimClock();
