// A simulated serial line: a serial port over an in-process far end, on a simulated clock,
// for programs that exercise long waits quickly. A write takes its line time at the open baud
// rate (10 bits a byte), then the far end's script sees the bytes and may answer; an answer
// arrives after the delay the script gives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/clock_sim.h"
#include "link/serial.h"

struct SimWrite {
    int64_t AtMs;  // when the last byte had gone out
    std::string Bytes;
};

class SimSerialPort final : public SerialPort {
public:
    // A closed line on `clock`, which outlives it.
    explicit SimSerialPort(SimClock& clock) : clock_(clock) {}

    // Any name but "missing" opens, at any baud rate above 0.
    bool Open(TextView name, long long baud) override;
    bool IsOpen() const override { return open_; }
    int ReadAvailable(uint8_t* buffer, int capacity) override;
    bool WaitForInput(int timeoutMs) override;
    int WriteBytes(const uint8_t* bytes, int count) override;
    void Close() override { open_ = false; }
    bool Vanished() const override { return open_ && Unplugged; }
    OpenFailure LastOpenFailure() const override { return OpenFailure::None; }
    Text LastOpenFailureDetail() const override { return Text(); }
    Text LastOpenFailureReason() const override { return Text(); }

    // The far end sends `bytes`; they arrive `afterMs` from now.
    void PeerSends(std::string bytes, int afterMs);

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

private:
    SimClock& clock_;
    bool open_ = false;
};
