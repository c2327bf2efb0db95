// Timing on POSIX: the monotonic clock, which wall-clock changes do not move, and
// nanosleep, which already has the fine resolution that Windows needs timeBeginPeriod for.
#include <time.h>

#include <cerrno>

#include "link/clock.h"

namespace {
int64_t MonotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
}  // namespace

SystemClock::SystemClock() : startUs_(MonotonicUs()) {}

void SystemClock::DelayMs(int ms) {
    if (ms <= 0) return;
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    // A signal (Ctrl-C standing for "Cancel") cuts the sleep short; sleep the rest.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void SystemClock::DelayUs(int64_t us) {
    if (us <= 0) return;
    timespec left{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

int64_t SystemClock::ElapsedUs() {
    return MonotonicUs() - startUs_;
}

int64_t SystemClock::ElapsedMs() {
    return ElapsedUs() / 1000;
}
