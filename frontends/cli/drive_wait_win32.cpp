#include <windows.h>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/drive_wait.h"
#include "link/clock.h"
#include "settings/ports.h"
#include "source/files.h"

bool WaitForFirmwareDrive(int seconds) {
    DWORD before = GetLogicalDrives();
    int64_t deadline = ElapsedMs() + static_cast<int64_t>(seconds) * 1000;
    while (App.FirmwarePending && ElapsedMs() < deadline && !StopRequested()) {
        DelayPumping(200);
        DWORD now = GetLogicalDrives();
        DWORD added = now & ~before;
        before = now;
        for (int bit = 0; bit < 26 && App.FirmwarePending; ++bit) {
            if (!(added & (1u << bit))) continue;
            Text letter(1, static_cast<char16_t>(u'A' + bit));
            bool copied = OnVolumeNotice(letter, letter + u":\\", true);
            if (!App.FirmwarePending) return copied;
        }
    }
    return false;
}
