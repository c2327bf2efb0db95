#include "app/notices.h"

#include "app/port_box.h"
#include "app/pump.h"
#include "app/session.h"
#include "settings/ports.h"
#include "source/files.h"
#include "source/firmware.h"
#include "ui/log.h"

void OnPortNotice(Session& s, TextView name, bool arrived) {
    AppendLog(s, u"Port: " + Text(name) + (arrived ? u" inserted" : u" removed"));
    RefreshPortBox(s);
}

bool OnVolumeNotice(Session& s, TextView label, TextView root, bool arrived) {
    AppendLog(s, u"  Device Drive " + Text(label));
    // Only a drive that appears can be the board in firmware mode; a stick pulled out while
    // the board is still resetting must not use up the one copy. A drive without a root
    // gives no place to copy to (the copy would land in the current folder).
    if (!s.App.FirmwarePending || !arrived || root.empty()) return false;
    s.App.FirmwarePending = false;
    // The board's drive needs a moment before it takes files; the window runs meanwhile.
    DelayPumping(s, 1000);
    Text target = Text(root) + FileNameOfPath(s.App.ProgramPath);
    AppendLog(s, target);
    // Checked again at the copy: the reset may have come from the window's second button,
    // or the file may have changed since.
    if (Text problem = FirmwareFileProblem(s.App.ProgramPath); !problem.empty()) {
        AppendLog(s, u"Firmware copy failed: " + problem);
        return false;
    }
    Text failure = CopyFirmwareFile(s.App.ProgramPath, target);
    if (failure.empty()) return true;
    AppendLog(s, u"Firmware copy failed: " + failure);
    return false;
}
