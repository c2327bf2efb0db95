// Watching for serial ports and drives that come and go on Linux: an inotify watch on the
// device folder and the mount table's change notice. A front end waits on the two file
// descriptors in its own event loop and calls the matching Handle procedure when one is
// ready; each returns what changed, for the front end to hand to its session's notices.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "settings/mount_table.h"
#include "source/text.h"

// A serial port that was added or removed: its device name (ttyACM0).
struct PortChange {
    Text Name;
    bool Arrived = false;
    bool operator==(const PortChange&) const = default;
};
// A mount point of a device that appeared or went: `Label` is the mount point, `Root` the
// same with its trailing "/".
struct VolumeChange {
    Text Label;
    Text Root;
    bool Arrived = false;
    bool operator==(const VolumeChange&) const = default;
};

// The two watches of one window; closed when it is destroyed.
class HotplugWatch {
public:
    HotplugWatch() = default;
    HotplugWatch(const HotplugWatch&) = delete;
    HotplugWatch& operator=(const HotplugWatch&) = delete;
    ~HotplugWatch() { Close(); }

    // Starts watching `folder` for created and deleted tty-like names. Returns the descriptor
    // to wait on for reading, -1 when the watch cannot be set up.
    int OpenPortWatch(const std::string& folder = "/dev");
    // Reads the pending events without waiting: each serial port added or removed, in order.
    std::vector<PortChange> HandlePortWatch();

    // Starts watching the mount table `table` (its kernel file signals changes with
    // POLLPRI|POLLERR) and remembers the mount points it lists now. Returns the descriptor,
    // -1 when the table cannot be read.
    int OpenVolumeWatch(const std::string& table = kSystemMountTable);
    // Reads the table again: each mount point of a device that went, then each that appeared.
    std::vector<VolumeChange> HandleVolumeWatch();

    void Close();

private:
    int portFd_ = -1;
    int volumeFd_ = -1;
    std::string mountTablePath_;
    std::set<std::string> mounted_;
};

// True for the device names that are serial ports (ttyACM0, ttyUSB1, ttyS0, ttyAMA0,
// rfcomm0).
bool IsSerialPortName(const std::string& name);
