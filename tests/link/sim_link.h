// A link over the simulated line and clock, opened at a baud rate, for the tests of long
// waits; its log lines and progress text are kept.
#pragma once

#include <vector>

#include "link/clock_sim.h"
#include "link/link.h"
#include "link/serial_sim.h"

struct SimLink {
    explicit SimLink(long long baud) {
        line.Open(u"sim", baud);
        link.Hooks.Log = [this](TextView text) { log.emplace_back(text); };
        link.Hooks.Progress = [this](TextView text, long, long) { progress = Text(text); };
    }
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    SimClock clock;
    SimSerialPort line{clock};
    Link link{line, clock};
    std::vector<Text> log;
    Text progress;
};
