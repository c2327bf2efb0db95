#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "settings/ports.h"
#include "source/files.h"

namespace {

Text Reason(int err) {
    return err == ELOOP ? Text(u"it is a symbolic link; it is not written through")
                        : TextFromAnsi(std::strerror(err));
}

}  // namespace

// The file is read whole, then written in one piece; a symbolic link planted in
// the drive under the file's name is refused, never followed to another file.
Text CopyFirmwareFile(TextView from, TextView to) {
    std::optional<std::string> bytes = ReadWholeFile(from);
    if (!bytes) return u"cannot read " + Text(from);
    std::string target = Utf8FromText(to);
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return Reason(errno);
    std::string_view left(*bytes);
    while (!left.empty()) {
        ssize_t put = write(fd, left.data(), left.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            int err = put < 0 ? errno : EIO;
            close(fd);
            return Reason(err);
        }
        left.remove_prefix(static_cast<size_t>(put));
    }
    if (close(fd) != 0) return Reason(errno);
    return Text();
}
