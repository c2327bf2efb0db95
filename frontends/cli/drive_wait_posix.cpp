#include <cstdlib>
#include <set>
#include <string>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/drive_wait.h"
#include "link/clock.h"
#include "settings/mount_table.h"
#include "settings/ports.h"
#include "source/files.h"

namespace {

// The mount table: kSystemMountTable, or the file named by QZ_MOUNTS_FILE (a simulated
// board announces its drive there).
std::string MountTablePath() {
    const char* fake = std::getenv("QZ_MOUNTS_FILE");
    return fake && *fake ? fake : kSystemMountTable;
}

std::set<std::string> MountPoints() {
    return ReadMountPoints(MountTablePath());
}

}  // namespace

bool WaitForFirmwareDrive(int seconds) {
    std::set<std::string> before = MountPoints();
    int64_t deadline = ElapsedMs() + static_cast<int64_t>(seconds) * 1000;
    while (App.FirmwarePending && ElapsedMs() < deadline && !StopRequested()) {
        DelayPumping(200);
        for (const std::string& point : MountPoints()) {
            if (before.count(point)) continue;
            Text root = TextFromUtf8(point);
            bool copied = OnVolumeNotice(root, root + u"/", true);
            if (!App.FirmwarePending) return copied;
        }
    }
    return false;
}
