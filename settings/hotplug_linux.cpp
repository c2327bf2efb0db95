#include "settings/hotplug_linux.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "settings/mount_table.h"
#include "settings/ports.h"
#include "source/text.h"

namespace {

int portFd = -1;
int volumeFd = -1;
std::string mountTablePath;
std::set<std::string> mounted;

}  // namespace

bool IsSerialPortName(const std::string& name) {
    for (const char* stem : {"ttyACM", "ttyUSB", "ttyS", "ttyAMA", "rfcomm"}) {
        std::string s = stem;
        if (name.size() > s.size() && name.compare(0, s.size(), s) == 0 &&
            std::all_of(name.begin() + static_cast<long>(s.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

int OpenPortWatch(const std::string& folder) {
    if (portFd >= 0) close(portFd);
    portFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (portFd < 0) return -1;
    if (inotify_add_watch(portFd, folder.c_str(), IN_CREATE | IN_DELETE) < 0) {
        close(portFd);
        portFd = -1;
    }
    return portFd;
}

void HandlePortWatch() {
    if (portFd < 0) return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = read(portFd, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0) continue;
            std::string name(event->name);
            if (!IsSerialPortName(name)) continue;
            OnPortNotice(TextFromUtf8(name), (event->mask & IN_CREATE) != 0);
        }
    }
}

int OpenVolumeWatch(const std::string& table) {
    if (volumeFd >= 0) close(volumeFd);
    mountTablePath = table;
    volumeFd = open(table.c_str(), O_RDONLY | O_CLOEXEC);
    mounted = ReadMountPoints(table);
    return volumeFd;
}

void HandleVolumeWatch() {
    if (mountTablePath.empty()) return;
    // The kernel's change notice stays raised until the file is read again from the start.
    if (volumeFd >= 0) {
        char buffer[4096];
        lseek(volumeFd, 0, SEEK_SET);
        while (read(volumeFd, buffer, sizeof buffer) > 0) {
        }
    }
    std::set<std::string> now = ReadMountPoints(mountTablePath);
    std::set<std::string> before = mounted;
    mounted = now;
    for (const std::string& point : before)
        if (!now.count(point))
            OnVolumeNotice(TextFromUtf8(point), TextFromUtf8(point + "/"), false);
    for (const std::string& point : now)
        if (!before.count(point))
            OnVolumeNotice(TextFromUtf8(point), TextFromUtf8(point + "/"), true);
}

void CloseHotplugWatches() {
    if (portFd >= 0) close(portFd);
    if (volumeFd >= 0) close(volumeFd);
    portFd = volumeFd = -1;
    mountTablePath.clear();
    mounted.clear();
}
