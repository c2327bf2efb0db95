#include "frontends/cli/drive_wait.h"

#include <cstdint>

#include "app/notices.h"
#include "app/pump.h"
#include "app/session.h"

bool WaitForFirmwareDrive(Session& s, int seconds) {
    // Each drive is offered once, when it first shows up.
    std::set<Text> seen = PresentDrives();
    int64_t deadline = s.Time.ElapsedMs() + static_cast<int64_t>(seconds) * 1000;
    while (s.App.FirmwarePending && s.Time.ElapsedMs() < deadline && !StopRequested(s)) {
        DelayPumping(s, 200);
        for (const Text& label : PresentDrives()) {
            if (!seen.insert(label).second) continue;
            bool copied = OnVolumeNotice(s, label, DriveRoot(label), true);
            if (!s.App.FirmwarePending) return copied;
        }
    }
    return false;
}
