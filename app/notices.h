// The session's answers to serial ports and drives that come and go.
#pragma once

#include "source/text.h"

struct Session;

// A serial port was added or removed: logs it and refreshes the port box.
void OnPortNotice(Session& s, TextView name, bool arrived);
// A volume was added or removed. `label` is what the log shows after "  Device Drive "
// (a drive letter, a mount point); `root` is where a pending firmware file goes (with its
// trailing separator). Media changes and network drives are not passed here. True when the
// pending firmware file was copied to it.
bool OnVolumeNotice(Session& s, TextView label, TextView root, bool arrived);
