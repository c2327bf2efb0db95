// A settings file far beyond any real one, for the test that it reads right and the
// benchmark that times it: 20000 groups, 50000 keys in the collection's group, the last
// collection entry ("Device50 = last|x") after them, and a 1 MB line without "=".
#pragma once

#include <string>

inline std::string BigSettingsFile() {
    std::string file;
    for (int i = 0; i < 20000; ++i)
        file += "[G" + std::to_string(i) + "]\nkey" + std::to_string(i) + " = v\n";
    file += "[myDeviceList]\n";
    for (int i = 0; i < 50000; ++i)
        file += "Other" + std::to_string(i) + " = x\n";
    file += "Device50 = last|x\n";
    file += std::string(1 << 20, 'k') + "\n";
    return file;
}
