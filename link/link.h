// What the link procedures (send-and-wait, the echo check, XMODEM) work over: one board's
// serial port, the clock its waits are measured on, the hooks to the program above and the
// channel's two buffers. A session holds one; nothing of it is shared between sessions.
#pragma once

#include <cstdint>
#include <vector>

#include "link/clock.h"
#include "link/hooks.h"
#include "link/serial.h"
#include "source/text.h"

// The receive and transmit buffers, 5000 bytes each.
inline constexpr int kChannelBufferSize = 5000;

struct Link {
    Link(SerialPort& port, Clock& clock) : Port(port), Time(clock) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    SerialPort& Port;
    Clock& Time;
    LinkHooks Hooks;
    std::vector<uint8_t> ReceiveBuffer = std::vector<uint8_t>(kChannelBufferSize);
    std::vector<uint8_t> TransmitBuffer = std::vector<uint8_t>(kChannelBufferSize);
};

// The bytes decoded from the ANSI code page, each zero byte as the four characters "\x00":
// what follows a zero byte (the prompt, say) is kept, and every log pane can show it.
Text DecodeReceived(const uint8_t* bytes, int count);
// What has arrived since the last read (at most 5000 bytes), as text; empty when nothing
// arrived or no port is open.
Text ReadPendingInput(Link& link);
