#include "settings/mount_table.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// A mount table field with its octal escapes (\040 for a blank) decoded.
std::string Unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<long>(i) + 1,
                        field.begin() + static_cast<long>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

std::set<std::string> ReadMountPoints(const std::string& table) {
    std::set<std::string> points;
    std::ifstream in(table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string word;
        while (fields >> word)
            f.push_back(word);
        auto dash = std::find(f.begin(), f.end(), "-");
        std::string source, point;
        if (dash != f.end()) {  // mountinfo: ID PARENT MAJ:MIN ROOT POINT ... - TYPE SOURCE ...
            if (f.size() < 5 || f.end() - dash < 3) continue;
            source = *(dash + 2);
            point = f[4];
        } else {  // mounts: SOURCE POINT TYPE ...
            if (f.size() < 2) continue;
            source = f[0];
            point = f[1];
        }
        if (source.rfind("/dev/", 0) != 0) continue;
        points.insert(Unescape(point));
    }
    return points;
}
