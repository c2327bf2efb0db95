#include "frontends/cli/file_watch.h"

#include <algorithm>

#include "link/clock.h"

namespace {

// The watched files changed within `ms`; a change to another file of their folders wakes the
// platform's wait but is passed over here.
std::vector<Text> ChangesWithin(FileWatch& watch, Clock& clock, int ms) {
    const int64_t end = clock.ElapsedMs() + ms;
    for (;;) {
        int64_t left = end - clock.ElapsedMs();
        std::vector<Text> changed =
            ReadFileChanges(watch, static_cast<int>(std::max<int64_t>(left, 0)));
        if (!changed.empty() || left <= 0) return changed;
    }
}

}  // namespace

std::vector<Text> TakeSaves(FileWatch& watch, Clock& clock, int waitMs, int settleMs) {
    std::vector<Text> saved = ChangesWithin(watch, clock, waitMs);
    if (saved.empty()) return saved;
    for (std::vector<Text> more; !(more = ChangesWithin(watch, clock, settleMs)).empty();)
        saved.insert(saved.end(), more.begin(), more.end());
    std::sort(saved.begin(), saved.end());
    saved.erase(std::unique(saved.begin(), saved.end()), saved.end());
    return saved;
}
