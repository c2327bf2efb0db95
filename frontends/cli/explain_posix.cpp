#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "frontends/cli/explain.h"

namespace {

std::string GroupOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::string();
    group* g = getgrgid(st.st_gid);
    return g ? std::string(g->gr_name) : std::to_string(st.st_gid);
}

// The processes that hold the device open, found through /proc/PID/fd.
std::string HoldersOf(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::string();
    std::string holders;
    DIR* proc = opendir("/proc");
    if (!proc) return holders;
    while (dirent* e = readdir(proc)) {
        std::string pid = e->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (pid == std::to_string(getpid())) continue;
        std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        bool holds = false;
        while (dirent* f = readdir(fds)) {
            char target[PATH_MAX];
            std::string link = fdDir + "/" + f->d_name;
            ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == resolved) holds = true;
        }
        closedir(fds);
        if (!holds) continue;
        std::string name;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::getline(comm, name);
        holders += (holders.empty() ? "" : ", ") + name + " (pid " + pid + ")";
    }
    closedir(proc);
    return holders;
}

}  // namespace

std::string ExplainOpenFailure(OpenFailure failure, const std::string& port,
                               const std::string& detail) {
    std::string device = detail.empty() ? port : detail;
    switch (failure) {
        case OpenFailure::NoSuchDevice:
            return "cannot open " + port + ": no such device. Is the board plugged in? " +
                   "'qz-upload --list-ports' lists the serial ports present.";
        case OpenFailure::PermissionDenied: {
            std::string group = GroupOf(device);
            std::string text = "cannot open " + port + ": permission denied.";
            if (!group.empty())
                text += " The device belongs to the group '" + group +
                        "'; join it with 'sudo usermod -aG " + group +
                        " $USER', then log out and in again.";
            return text;
        }
        case OpenFailure::Busy: {
            std::string holders = HoldersOf(device);
            return "cannot open " + port + ": the port is busy" +
                   (holders.empty() ? std::string(" (another program holds it).")
                                    : ", held by " + holders + ".") +
                   " Close that program and try again.";
        }
        case OpenFailure::BadSettings:
            return "cannot open " + port +
                   ": the port refused the line settings (check the baud rate).";
        default:
            return "cannot open " + port + (detail.empty() ? std::string(".") : ": " + detail);
    }
}
