#include <windows.h>

#include "frontends/cli/drive_wait.h"

std::set<Text> PresentDrives() {
    DWORD letters = GetLogicalDrives();
    std::set<Text> drives;
    for (int bit = 0; bit < 26; ++bit)
        if (letters & (1u << bit)) drives.insert(Text(1, static_cast<char16_t>(u'A' + bit)));
    return drives;
}

Text DriveRoot(const Text& label) {
    return label + u":\\";
}
