#include "settings/hotplug_linux.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>

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

int HotplugWatch::OpenPortWatch(const std::string& folder) {
    if (portFd_ >= 0) close(portFd_);
    portFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (portFd_ < 0) return -1;
    if (inotify_add_watch(portFd_, folder.c_str(), IN_CREATE | IN_DELETE) < 0) {
        close(portFd_);
        portFd_ = -1;
    }
    return portFd_;
}

std::vector<PortChange> HotplugWatch::HandlePortWatch() {
    std::vector<PortChange> changes;
    if (portFd_ < 0) return changes;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = read(portFd_, buffer, sizeof buffer);
        if (n <= 0) return changes;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0) continue;
            std::string name(event->name);
            if (!IsSerialPortName(name)) continue;
            changes.push_back({TextFromUtf8(name), (event->mask & IN_CREATE) != 0});
        }
    }
}

int HotplugWatch::OpenVolumeWatch(const std::string& table) {
    if (volumeFd_ >= 0) close(volumeFd_);
    mountTablePath_ = table;
    volumeFd_ = open(table.c_str(), O_RDONLY | O_CLOEXEC);
    mounted_ = ReadMountPoints(table);
    return volumeFd_;
}

std::vector<VolumeChange> HotplugWatch::HandleVolumeWatch() {
    std::vector<VolumeChange> changes;
    if (mountTablePath_.empty()) return changes;
    // The kernel's change notice stays raised until the file is read again from the start.
    if (volumeFd_ >= 0) {
        char buffer[4096];
        lseek(volumeFd_, 0, SEEK_SET);
        while (read(volumeFd_, buffer, sizeof buffer) > 0) {
        }
    }
    std::set<std::string> now = ReadMountPoints(mountTablePath_);
    std::set<std::string> before = mounted_;
    mounted_ = now;
    for (const std::string& point : before)
        if (!now.count(point))
            changes.push_back({TextFromUtf8(point), TextFromUtf8(point + "/"), false});
    for (const std::string& point : now)
        if (!before.count(point))
            changes.push_back({TextFromUtf8(point), TextFromUtf8(point + "/"), true});
    return changes;
}

void HotplugWatch::Close() {
    if (portFd_ >= 0) close(portFd_);
    if (volumeFd_ >= 0) close(volumeFd_);
    portFd_ = volumeFd_ = -1;
    mountTablePath_.clear();
    mounted_.clear();
}
