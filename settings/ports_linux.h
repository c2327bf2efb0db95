// Serial port discovery on Linux, with the sysfs tree it reads given explicitly.
#pragma once

#include <vector>

#include "settings/ports.h"
#include "source/text.h"

// The serial ports that sysfs at `sysfsRoot` (normally "/sys") shows: every entry of
// class/tty with a `device` link behind it, except serial-core slots whose `type` reads 0
// (no UART behind them, as the 8250 driver leaves for ttyS1 to ttyS31). Returned as
// "/dev/NAME" in natural order of the names (ttyUSB2 before ttyUSB10), the built-in ttyS
// ports after all others since a board is nearly always on a USB adapter.
// `devRoot` (normally "/dev") is where the device nodes are.
std::vector<Text> ListSerialPortsUnder(TextView sysfsRoot, TextView devRoot = u"/dev");
// The same ports with their identities: the USB device's idVendor, idProduct,
// manufacturer, product and serial from sysfs, and the link in DEVROOT/serial/by-id that
// points at the port.
std::vector<PortIdentity> ListSerialPortIdentitiesUnder(TextView sysfsRoot, TextView devRoot);
