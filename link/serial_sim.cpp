#include "link/serial_sim.h"

#include <algorithm>
#include <cstring>

#include "link/clock.h"
#include "link/clock_sim.h"
#include "link/serial.h"

SimLine Sim;

namespace {
int64_t NowUs() {
    return SimClockUs();
}
}  // namespace

void ResetSimLine(long long baud) {
    ResetSimClock();
    Sim = SimLine();
    Sim.Open = true;
    Sim.Baud = baud;
}

void PeerSends(std::string bytes, int afterMs) {
    Sim.Incoming.push_back({NowUs() + int64_t{afterMs} * 1000, std::move(bytes)});
}

bool OpenPort(TextView name, long long baud) {
    if (name == u"missing" || baud <= 0) return false;
    Sim.Open = true;
    Sim.Baud = baud;
    return true;
}

Text DevicePathOf(TextView name) {
    return Text(name);
}

bool IsPortOpen() {
    return Sim.Open;
}

int ReadAvailable(uint8_t* buffer, int capacity) {
    if (!Sim.Open || Sim.Unplugged) return -1;
    int got = 0;
    const int64_t now = NowUs();
    auto& in = Sim.Incoming;
    while (!in.empty() && in.front().AtUs <= now && got < capacity) {
        std::string& bytes = in.front().Bytes;
        int take = std::min<int>(capacity - got, static_cast<int>(bytes.size()));
        std::memcpy(buffer + got, bytes.data(), static_cast<size_t>(take));
        got += take;
        bytes.erase(0, static_cast<size_t>(take));
        if (bytes.empty()) in.erase(in.begin());
    }
    return got;
}

bool WaitForInput(int timeoutMs) {
    const int64_t limit = NowUs() + int64_t{timeoutMs > 0 ? timeoutMs : 0} * 1000;
    int64_t first = limit;
    // Reads take arrivals in order, so the first in the list is the one that wakes.
    if (Sim.Open && !Sim.Unplugged && !Sim.Incoming.empty())
        first = std::min(first, Sim.Incoming.front().AtUs);
    if (first > NowUs()) AdvanceSimClockUs(first - NowUs());
    return Sim.Open && !Sim.Unplugged && !Sim.Incoming.empty() &&
           Sim.Incoming.front().AtUs <= NowUs();
}

int WriteBytes(const uint8_t* bytes, int count) {
    if (!Sim.Open) return -1;
    if (Sim.Unplugged) {
        ++Sim.RefusedWrites;
        return -1;
    }
    AdvanceSimClockUs(int64_t{count} * 10 * 1000000 / Sim.Baud);
    std::string sent(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    Sim.Written.push_back({ElapsedMs(), sent});
    if (Sim.OnWrite) Sim.OnWrite(sent);
    return count;
}

int WriteByte(int value) {
    if (!Sim.Open) return -1;
    if (value < 1) return 0;
    uint8_t byte = static_cast<uint8_t>(value & 0xFF);
    return WriteBytes(&byte, 1);
}

void ClosePort() {
    Sim.Open = false;
}

bool PortVanished() {
    return Sim.Open && Sim.Unplugged;
}

OpenFailure LastOpenFailure() {
    return OpenFailure::None;
}

Text LastOpenFailureDetail() {
    return Text();
}

Text LastOpenFailureReason() {
    return Text();
}
