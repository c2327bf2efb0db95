// Serial port discovery: the ports present and what the system tells about them.
#pragma once

#include <vector>

#include "source/text.h"

// Platform: the names of the serial ports present, in the system's order
// (ports_linux.cpp, ports_win32.cpp).
std::vector<Text> ListSerialPorts();

// What the system knows about one serial port's device; fields it does not know are empty.
struct PortIdentity {
    Text Path;        // the name to open: /dev/ttyACM0, COM3
    Text StableName;  // a name that survives replugging (/dev/serial/by-id/...), when any
    Text VendorId;    // USB vendor and product ids, four lower-case hex digits each
    Text ProductId;
    Text Maker;
    Text Product;
    Text Serial;
    bool SystemConsole = false;  // the kernel writes its console there: not a board's line
};
// Platform: the serial ports present with what the system tells about them, in the order
// of ListSerialPorts (ports_linux.cpp: sysfs; ports_win32.cpp: registry and SetupAPI).
std::vector<PortIdentity> ListSerialPortIdentities();
// Platform: whether a port name from a file (an options line's comN) names a port of this
// machine. Windows asks the system when the port is opened, so every name passes there;
// on Linux a comN that maps to no present port does not.
bool PortNamePresent(TextView name);
// A port on USB (its vendor id is known): the kind a board is attached by.
bool IsUsbPort(const PortIdentity& port);
// True for USB ids of the microcontrollers these boards are built on, with their own USB
// serial port (not a separate adapter chip).
bool LooksLikeBoard(const PortIdentity& port);
// One line for a port list: the path, then "vvvv:pppp maker product serial S", the stable
// name, and a mark for a likely board.
Text DescribePort(const PortIdentity& port);

// Platform: what the port box shows for a port: "ttyACM0 - maker product (serial)" on
// Linux, "COM5 - description" on Windows; the port's name alone when nothing more is known.
Text PortLabel(const PortIdentity& port);

// Platform: copies the firmware file over any file of that name (firmware_copy_posix.cpp,
// firmware_copy_win32.cpp), never through a symbolic link of that name. Returns the
// reason when it failed, empty text when the copy succeeded.
Text CopyFirmwareFile(TextView from, TextView to);
