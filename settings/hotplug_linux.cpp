#include "settings/hotplug_linux.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "settings/ports.h"
#include "source/text.h"

namespace {

int portFd = -1;
int volumeFd = -1;
std::string mountTablePath;
std::set<std::string> mounted;

// A mount table field with its octal escapes (\040 for a blank) decoded.
std::string Unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<long>(i) + 1,
                        field.begin() + static_cast<long>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The mount points of block devices in the table. Pseudo and network file systems have a
// source that is not a device path, so they are left out.
std::set<std::string> ReadMountPoints(const std::string& path) {
    std::set<std::string> points;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string word;
        while (fields >> word)
            f.push_back(word);
        auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || f.end() - dash < 3) continue;
        const std::string& source = *(dash + 2);
        if (source.rfind("/dev/", 0) != 0) continue;
        points.insert(Unescape(f[4]));
    }
    return points;
}

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
