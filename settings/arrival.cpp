#include "app/state.h"
#include "link/clock.h"
#include "settings/ports.h"
#include "source/files.h"
#include "source/firmware.h"
#include "ui/log.h"

void OnPortNotice(TextView name, bool arrived) {
    AppendLog(u"Port: " + Text(name) + (arrived ? u" inserted" : u" removed"));
    RefreshPortBox();
}

bool OnVolumeNotice(TextView label, TextView root, bool arrived) {
    AppendLog(u"  Device Drive " + Text(label));
    // Only a drive that appears can be the board in firmware mode; a stick pulled out while
    // the board is still resetting must not use up the one copy. A drive without a root
    // gives no place to copy to (the copy would land in the current folder).
    if (!App.FirmwarePending || !arrived || root.empty()) return false;
    App.FirmwarePending = false;
    DelayMs(1000);  // the board's drive needs a moment before it takes files
    Text target = Text(root) + FileNameOfPath(App.ProgramPath);
    AppendLog(target);
    // Checked again at the copy: the reset may have come from the window's second button,
    // or the file may have changed since.
    if (Text problem = FirmwareFileProblem(App.ProgramPath); !problem.empty()) {
        AppendLog(u"Firmware copy failed: " + problem);
        return false;
    }
    Text failure = CopyFirmwareFile(App.ProgramPath, target);
    if (failure.empty()) return true;
    AppendLog(u"Firmware copy failed: " + failure);
    return false;
}
