// Watching for serial ports and drives that come and go on Linux: an inotify watch on the
// device folder and the mount table's change notice. A front end waits on the two file
// descriptors in its own event loop and calls the matching Handle procedure when one is
// ready; each turns what changed into OnPortNotice / OnVolumeNotice (settings/ports.h).
#pragma once

#include <string>

// Starts watching `folder` for created and deleted tty-like names. Returns the descriptor
// to wait on for reading, -1 when the watch cannot be set up.
int OpenPortWatch(const std::string& folder = "/dev");
// Reads the pending events without waiting and reports each serial port added or removed.
void HandlePortWatch();

// Starts watching the mount table `table` (its kernel file signals changes with
// POLLPRI|POLLERR) and remembers the mount points it lists now. Returns the descriptor,
// -1 when the table cannot be read.
int OpenVolumeWatch(const std::string& table = "/proc/self/mountinfo");
// Reads the table again and reports each mount point of a device that appeared or went.
void HandleVolumeWatch();

void CloseHotplugWatches();

// True for the device names that are serial ports (ttyACM0, ttyUSB1, ttyS0, ttyAMA0,
// rfcomm0).
bool IsSerialPortName(const std::string& name);
