// The serial channel: the tool's one connection to the board.
//
// The byte operations are the platform's (serial_posix.cpp, serial_win32.cpp, and the
// simulated line of the long-wait tests, serial_sim.cpp); the buffers and the pending-input
// read are portable (channel.cpp). At most one port is open at a time.
#pragma once

#include <cstdint>

#include "source/text.h"

// ---- Platform ----

// Opens `name` at `baud` with the fixed line settings (8N1, no flow control, RTS off) and
// makes it the channel's port. A port already open is replaced, but only after the new one
// opened; opening the port that is already open fails and leaves it open. False on failure.
bool OpenPort(TextView name, long long baud);
// The device path OpenPort hands to the system for a port name, in the platform's form of a
// device path (Windows: the name cut to its first 59 characters).
Text DevicePathOf(TextView name);
bool IsPortOpen();
// -1 with no port open; 0 when nothing has arrived; else the bytes read: all that wait in
// the driver, at most `capacity`. Never blocks.
int ReadAvailable(uint8_t* buffer, int capacity);
// Waits until bytes have arrived or `timeoutMs` has passed, without taking any: true when
// bytes wait to be read (at once when some already do). With no port open, or a port whose
// device went away, it sleeps the time out and returns false, so no caller can spin on it.
bool WaitForInput(int timeoutMs);
// -1 with no port open; else the number of bytes the system reports written.
int WriteBytes(const uint8_t* bytes, int count);
// -1 with no port open; a value of 1 or more is sent as one byte (its low 8 bits); below 1
// nothing is sent and 0 is returned.
int WriteByte(int value);
void ClosePort();
// True once the system has reported the open port's device gone (unplugged, or the far end
// of a pseudo-terminal closed), as opposed to a port that is merely silent.
bool PortVanished();

// Why the last OpenPort failed, for front ends that explain it to the user.
enum class OpenFailure {
    None,
    NoSuchDevice,
    PermissionDenied,
    Busy,
    BadSettings,
    NotASerialPort,
    Other
};
OpenFailure LastOpenFailure();
// The system's own words for the last failure, and the device path that was tried.
Text LastOpenFailureDetail();
// The same in words a user can act on: "cannot open PORT: " and why, with what to do (the
// device's group and how to join it, the program that holds the port); empty after an open
// that succeeded.
Text LastOpenFailureReason();

// ---- Portable ----

// The receive and transmit buffers, 5000 bytes each, live from start-up to exit.
inline constexpr int kChannelBufferSize = 5000;
void AllocateChannelBuffers();
void ReleaseChannelBuffers();
uint8_t* ReceiveBuffer();
uint8_t* TransmitBuffer();

// The bytes decoded from the ANSI code page, each zero byte as the four characters "\x00":
// what follows a zero byte (the prompt, say) is kept, and every log pane can show it.
Text DecodeReceived(const uint8_t* bytes, int count);
// What has arrived since the last read (at most 5000 bytes), as text; empty when nothing
// arrived or no port is open.
Text ReadPendingInput();
