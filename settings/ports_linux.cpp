#include "settings/ports_linux.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <tuple>

#include "settings/ports.h"

namespace fs = std::filesystem;

namespace {

// A serial-core port reports its UART type in `type`; 0 (PORT_UNKNOWN) means the driver
// reserved the name but found no hardware. Ports without that file (USB ACM, USB serial)
// are real whenever they have a device.
bool IsPlaceholderUart(const fs::path& entry) {
    std::ifstream type(entry / "type");
    int code = -1;
    return type >> code && code == 0;
}

bool IsBuiltInUart(const std::string& name) {
    return name.starts_with("ttyS") && name.size() > 4 &&
           std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Natural order of tty names: the name apart from its trailing number first, then that
// number by value, so ttyUSB2 comes before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& name) {
        size_t cut = name.find_last_not_of("0123456789") + 1;  // 0 when all digits
        std::string digits = name.substr(cut);
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        return std::make_tuple(name.substr(0, cut), digits.size(), digits);
    };
    auto ka = split(a), kb = split(b);
    return ka != kb ? ka < kb : a < b;
}

bool PortOrder(const std::string& a, const std::string& b) {
    bool builtInA = IsBuiltInUart(a), builtInB = IsBuiltInUart(b);
    if (builtInA != builtInB) return builtInB;
    return NaturalLess(a, b);
}

}  // namespace

std::vector<Text> ListSerialPortsUnder(TextView sysfsRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::path tty = fs::path(Text(sysfsRoot)) / "class" / "tty";
    for (fs::directory_iterator it(tty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& entry = it->path();
        std::error_code missing;
        // Virtual terminals, pseudo-terminals and the console have no device behind them.
        if (!fs::exists(fs::symlink_status(entry / "device", missing))) continue;
        if (IsPlaceholderUart(entry)) continue;
        names.push_back(entry.filename().string());
    }
    std::sort(names.begin(), names.end(), PortOrder);
    std::vector<Text> ports;
    for (const std::string& name : names)
        ports.push_back(u"/dev/" + TextFromUtf8(name));
    return ports;
}

std::vector<Text> ListSerialPorts() {
    // QZ_SYSFS_ROOT points discovery at another tree, for tests and simulated boards.
    const char* root = std::getenv("QZ_SYSFS_ROOT");
    return ListSerialPortsUnder(root && *root ? TextFromUtf8(root) : Text(u"/sys"));
}
