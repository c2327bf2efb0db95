// A simulated serial line: the channel's platform operations over an in-process far end, on
// the simulated clock (clock_sim.cpp), for programs that exercise long waits quickly. A
// write takes its line time at the open baud rate (10 bits a byte), then the far end's
// script sees the bytes and may answer; an answer arrives after the delay the script gives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SimWrite {
    int64_t AtMs;  // when the last byte had gone out
    std::string Bytes;
};

struct SimLine {
    bool Open = false;
    long long Baud = 0;
    bool Unplugged = false;  // the device is gone: reads and writes report no port
    int RefusedWrites = 0;   // writes tried while unplugged
    std::vector<SimWrite> Written;
    std::function<void(const std::string&)> OnWrite;  // the far end's script

    struct Arrival {
        int64_t AtUs;
        std::string Bytes;
    };
    std::vector<Arrival> Incoming;
};

extern SimLine Sim;

// A fresh line at clock zero, opened at `baud`.
void ResetSimLine(long long baud);
// The far end sends `bytes`; they arrive `afterMs` from now.
void PeerSends(std::string bytes, int afterMs);
