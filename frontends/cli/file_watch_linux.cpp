#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <utility>

#include "frontends/cli/file_watch.h"

namespace fs = std::filesystem;

struct FileWatch {
    int Fd = -1;
    std::map<int, fs::path> Folders;               // watch descriptor: folder
    std::vector<std::pair<fs::path, Text>> Files;  // full path: the path as given
};

void FileWatchClose::operator()(FileWatch* watch) const {
    if (watch->Fd >= 0) close(watch->Fd);
    delete watch;
}

namespace {

fs::path FullPath(const Text& path) {
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(Utf8FromText(path)), ec);
    return full.lexically_normal();
}

}  // namespace

FileWatchHandle WatchFiles(const std::vector<Text>& paths) {
    FileWatchHandle watch(new FileWatch);
    watch->Fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->Fd < 0) return nullptr;
    for (const Text& path : paths) {
        fs::path full = FullPath(path);
        // A whole write ends in a close; a save by rename ends in a move into the folder.
        int wd =
            inotify_add_watch(watch->Fd, full.parent_path().c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (wd < 0) return nullptr;
        watch->Folders[wd] = full.parent_path();
        watch->Files.emplace_back(full, path);
    }
    return watch;
}

std::vector<Text> ReadFileChanges(FileWatch& watch, int waitMs) {
    std::vector<Text> changed;
    pollfd p{watch.Fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return changed;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = read(watch.Fd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            auto folder = watch.Folders.find(event->wd);
            if (event->len == 0 || folder == watch.Folders.end()) continue;
            fs::path full = folder->second / event->name;
            for (const auto& [path, given] : watch.Files)
                if (path == full) changed.push_back(given);
        }
    }
    return changed;
}
