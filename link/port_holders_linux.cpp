#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "link/open_failure.h"

namespace {

// The index of a pseudo-terminal's slave (/dev/pts/N: majors 136 to 143), or -1.
long PtyIndex(dev_t device) {
    unsigned major = gnu_dev_major(device);
    if (major < 136 || major > 143) return -1;
    return static_cast<long>((major - 136) * 256 + gnu_dev_minor(device));
}

// True when the open file `fd` of process `pid` is the master of pseudo-terminal `index`.
bool IsMasterOf(const std::string& pid, const std::string& fd, const std::string& target,
                long index) {
    if (index < 0 || (target != "/dev/ptmx" && target != "/dev/pts/ptmx")) return false;
    std::ifstream info("/proc/" + pid + "/fdinfo/" + fd);
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("tty-index:", 0) == 0) return std::atol(line.c_str() + 10) == index;
    return false;
}

}  // namespace

std::string PortHolders(const std::string& device) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (!realpath(device.c_str(), resolved) || stat(resolved, &st) != 0) return std::string();
    long ptyIndex = S_ISCHR(st.st_mode) ? PtyIndex(st.st_rdev) : -1;
    std::string holders;
    DIR* proc = opendir("/proc");
    if (!proc) return holders;
    const std::string self = std::to_string(getpid());
    while (dirent* e = readdir(proc)) {
        std::string pid = e->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (pid == self) continue;
        std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;  // another user's process: not ours to see
        bool holds = false, farEnd = false;
        while (dirent* f = readdir(fds)) {
            char target[PATH_MAX];
            ssize_t n = readlink((fdDir + "/" + f->d_name).c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            std::string t(target, static_cast<size_t>(n));
            if (t == resolved) holds = true;
            if (IsMasterOf(pid, f->d_name, t, ptyIndex)) farEnd = true;
        }
        closedir(fds);
        if (!holds || farEnd) continue;
        std::string name;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::getline(comm, name);
        holders += (holders.empty() ? "" : ", ") + name + " (pid " + pid + ")";
    }
    closedir(proc);
    return holders;
}
