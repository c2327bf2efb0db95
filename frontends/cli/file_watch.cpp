#include "frontends/cli/file_watch.h"

#include <algorithm>

std::vector<Text> TakeSaves(FileWatch& watch, int waitMs, int settleMs) {
    std::vector<Text> saved = ReadFileChanges(watch, waitMs);
    if (saved.empty()) return saved;
    for (std::vector<Text> more; !(more = ReadFileChanges(watch, settleMs)).empty();)
        saved.insert(saved.end(), more.begin(), more.end());
    std::sort(saved.begin(), saved.end());
    saved.erase(std::unique(saved.begin(), saved.end()), saved.end());
    return saved;
}
