#include "link/serial_sim.h"

#include <algorithm>
#include <cstring>

void SimSerialPort::PeerSends(std::string bytes, int afterMs) {
    Incoming.push_back({clock_.ElapsedUs() + int64_t{afterMs} * 1000, std::move(bytes)});
}

bool SimSerialPort::Open(TextView name, long long baud) {
    if (name == u"missing" || baud <= 0) return false;
    open_ = true;
    Baud = baud;
    return true;
}

int SimSerialPort::ReadAvailable(uint8_t* buffer, int capacity) {
    if (!open_ || Unplugged) return -1;
    int got = 0;
    const int64_t now = clock_.ElapsedUs();
    auto& in = Incoming;
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

bool SimSerialPort::WaitForInput(int timeoutMs) {
    const int64_t now = clock_.ElapsedUs();
    const int64_t limit = now + int64_t{timeoutMs > 0 ? timeoutMs : 0} * 1000;
    int64_t first = limit;
    // Reads take arrivals in order, so the first in the list is the one that wakes.
    const bool live = open_ && !Unplugged;
    if (live && !Incoming.empty()) first = std::min(first, Incoming.front().AtUs);
    if (first > now) clock_.AdvanceUs(first - now);
    return live && !Incoming.empty() && Incoming.front().AtUs <= clock_.ElapsedUs();
}

int SimSerialPort::WriteBytes(const uint8_t* bytes, int count) {
    if (!open_) return -1;
    if (Unplugged) {
        ++RefusedWrites;
        return -1;
    }
    clock_.AdvanceUs(int64_t{count} * 10 * 1000000 / Baud);
    std::string sent(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    Written.push_back({clock_.ElapsedMs(), sent});
    if (OnWrite) OnWrite(sent);
    return count;
}
