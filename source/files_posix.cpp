#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "source/files.h"

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t put = write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

}  // namespace

bool ReadableByOthers(TextView path) {
    struct stat s {};
    return stat(Utf8FromText(path).c_str(), &s) == 0 && (s.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

bool ReplaceFileAtomically(TextView path, std::string_view bytes) {
    if (path.empty()) return false;
    std::string target = Utf8FromText(path);
    std::string folder = Utf8FromText(FolderOfPath(path));
    struct stat old {};
    bool exists = lstat(target.c_str(), &old) == 0;
    // Without the owner's write permission the user meant the file to stay as it is; the
    // superuser, who may write anything, is held to the same rule.
    if (exists && S_ISREG(old.st_mode) && !(old.st_mode & S_IWUSR)) return false;
    mode_t mode;
    if (exists && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    std::string temporary = target + ".XXXXXX";
    int fd = mkstemp(temporary.data());  // O_CREAT | O_EXCL: never opens what is there
    if (fd < 0) return false;
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}
