#include <cstdlib>
#include <string>

#include "frontends/cli/drive_wait.h"
#include "settings/mount_table.h"

std::set<Text> PresentDrives() {
    // The mount table: kSystemMountTable, or the file named by QZ_MOUNTS_FILE (a simulated
    // board announces its drive there).
    const char* fake = std::getenv("QZ_MOUNTS_FILE");
    std::set<Text> drives;
    for (const std::string& point : ReadMountPoints(fake && *fake ? fake : kSystemMountTable))
        drives.insert(TextFromUtf8(point));
    return drives;
}

Text DriveRoot(const Text& label) {
    return label + u"/";
}
