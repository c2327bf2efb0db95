#include <time.h>

#include <cerrno>

#include "link/clock.h"

void DelayMs(int ms) {
    if (ms <= 0) return;
    timespec rest{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    // A signal (Ctrl-C) cuts the sleep short; sleep on for what is left.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

int64_t ElapsedMs() {
    static const timespec start = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t;
    }();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec - start.tv_sec) * 1000 +
           (now.tv_nsec - start.tv_nsec) / 1000000;
}
