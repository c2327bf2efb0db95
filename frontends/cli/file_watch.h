// Watching program files for saves (qz-upload --watch). The files' folders are watched, not
// the files themselves, so that a file that an editor replaces by writing a temporary file and
// renaming it over the old one is still seen (file_watch_linux.cpp: inotify;
// file_watch_win32.cpp: ReadDirectoryChangesW).
#pragma once

#include <memory>
#include <vector>

#include "link/clock.h"
#include "source/text.h"

struct FileWatch;
struct FileWatchClose {
    void operator()(FileWatch* watch) const;
};
using FileWatchHandle = std::unique_ptr<FileWatch, FileWatchClose>;

// ---- Platform ----

// Starts watching these files; null when the system refuses (a folder that cannot be
// watched).
FileWatchHandle WatchFiles(const std::vector<Text>& paths);
// Waits at most `waitMs` for changes and returns the watched paths (as given) that were
// written and closed, or renamed or moved into place, since the last call. A path may come
// more than once: one save can make several changes.
std::vector<Text> ReadFileChanges(FileWatch& watch, int waitMs);

// ---- Portable (file_watch.cpp) ----

// The files saved since the last call, each once; empty when none was within `waitMs`. A save
// that an editor makes in several steps counts once: after the first change, changes are
// gathered until the files have been quiet for `settleMs` (on `clock`).
std::vector<Text> TakeSaves(FileWatch& watch, Clock& clock, int waitMs, int settleMs = 150);
