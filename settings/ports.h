// Serial port discovery and the notices of ports and drives that come and go.
#pragma once

#include <vector>

#include "source/text.h"

// Platform: the names of the serial ports present, in the system's order
// (ports_linux.cpp, ports_win32.cpp).
std::vector<Text> ListSerialPorts();
// Platform: copies the firmware file over any file of that name (firmware_copy_posix.cpp,
// firmware_copy_win32.cpp). Returns the system's reason when it failed, empty text when the
// copy succeeded.
Text CopyFirmwareFile(TextView from, TextView to);

// Rebuilds `App.PortList`; shows "OOPS!" / "No com ports found" when there is none.
void DiscoverPorts();
// Refills the port box from a fresh discovery and selects `App.Comport` in it.
void RefreshPortBox();

// A serial port was added or removed: logs it and refreshes the port box.
void OnPortNotice(TextView name, bool arrived);
// A volume was added or removed. `label` is what the log shows after "  Device Drive "
// (a drive letter, a mount point); `root` is where a pending firmware file goes (with its
// trailing separator). Media changes and network drives are not passed here.
void OnVolumeNotice(TextView label, TextView root, bool arrived);
