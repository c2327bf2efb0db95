// The serial port: the tool's one connection to a board, as an interface. A session is handed
// the port it talks through when it is made: the platform's (serial_posix.cpp,
// serial_win32.cpp) or the simulated line of the long-wait tests (serial_sim.h).
#pragma once

#include <cstdint>
#include <memory>

#include "source/text.h"

// Why the last Open failed, for front ends that explain it to the user.
enum class OpenFailure {
    None,
    NoSuchDevice,
    PermissionDenied,
    Busy,
    BadSettings,
    NotASerialPort,
    Other
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens `name` at `baud` with the fixed line settings (8N1, no flow control, RTS off). A
    // port already open is replaced, but only after the new one opened; opening the port that
    // is already open fails and leaves it open. False on failure.
    virtual bool Open(TextView name, long long baud) = 0;
    virtual bool IsOpen() const = 0;
    // -1 with no port open; 0 when nothing has arrived; else the bytes read: all that wait in
    // the driver, at most `capacity`. Never blocks.
    virtual int ReadAvailable(uint8_t* buffer, int capacity) = 0;
    // Waits until bytes have arrived or `timeoutMs` has passed, without taking any: true when
    // bytes wait to be read (at once when some already do). With no port open, or a port whose
    // device went away, it sleeps the time out and returns false, so no caller can spin on it.
    virtual bool WaitForInput(int timeoutMs) = 0;
    // -1 with no port open; else the number of bytes the system reports written.
    virtual int WriteBytes(const uint8_t* bytes, int count) = 0;
    virtual void Close() = 0;
    // True once the system has reported the open port's device gone (unplugged, or the far
    // end of a pseudo-terminal closed), as opposed to a port that is merely silent.
    virtual bool Vanished() const = 0;

    // Why the last Open failed; None after one that succeeded.
    virtual OpenFailure LastOpenFailure() const = 0;
    // The system's own words for the last failure, and the device path that was tried.
    virtual Text LastOpenFailureDetail() const = 0;
    // The same in words a user can act on: "cannot open PORT: " and why, with what to do (the
    // device's group and how to join it, the program that holds the port); empty after an
    // open that succeeded.
    virtual Text LastOpenFailureReason() const = 0;
};

// A new, closed port of this platform.
std::unique_ptr<SerialPort> MakeSystemSerialPort();

// The device path Open hands to the system for a port name, in the platform's form of a
// device path (Windows: the name cut to its first 59 characters).
Text DevicePathOf(TextView name);

// -1 with no port open; a value of 1 or more is sent as one byte (its low 8 bits); below 1
// nothing is sent and 0 is returned.
int WriteByte(SerialPort& port, int value);
