#include "settings/ports_linux.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <tuple>

#include "link/serial.h"
#include "settings/ports.h"
#include "source/files.h"

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

// The tty names of the ports with hardware behind them, in port order.
std::vector<std::string> PortNamesUnder(TextView sysfsRoot) {
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
    return names;
}

// A sysfs attribute's text without its line end; empty when it is missing.
Text SysfsValue(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return TextFromUtf8(value);
}

}  // namespace

std::vector<Text> ListSerialPortsUnder(TextView sysfsRoot, TextView devRoot) {
    std::vector<Text> ports;
    for (const std::string& name : PortNamesUnder(sysfsRoot))
        ports.push_back(Text(devRoot) + u"/" + TextFromUtf8(name));
    return ports;
}

std::vector<PortIdentity> ListSerialPortIdentitiesUnder(TextView sysfsRoot, TextView devRoot) {
    fs::path sysfs = fs::path(Text(sysfsRoot));
    fs::path byId = fs::path(Text(devRoot)) / "serial" / "by-id";
    // class/tty/console/active names the ttys the kernel's console writes to ("ttyS0 tty0").
    std::string consoles =
        " " + Utf8FromText(SysfsValue(sysfs / "class" / "tty" / "console" / "active")) + " ";
    std::vector<PortIdentity> ports;
    for (const std::string& name : PortNamesUnder(sysfsRoot)) {
        PortIdentity port;
        port.SystemConsole = consoles.find(" " + name + " ") != std::string::npos;
        port.Path = Text(devRoot) + u"/" + TextFromUtf8(name);
        std::error_code ec;
        fs::path device = fs::canonical(sysfs / "class" / "tty" / name / "device", ec);
        // The USB device is the nearest folder above the port's device that has an
        // idVendor: one level up for ACM, two for a USB-serial adapter's port.
        for (int up = 0; !ec && up < 4 && !device.empty(); ++up, device = device.parent_path()) {
            if (!fs::exists(device / "idVendor", ec)) continue;
            port.VendorId = LowerText(SysfsValue(device / "idVendor"));
            port.ProductId = LowerText(SysfsValue(device / "idProduct"));
            port.Maker = SysfsValue(device / "manufacturer");
            port.Product = SysfsValue(device / "product");
            port.Serial = SysfsValue(device / "serial");
            break;
        }
        for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code bad;
            fs::path target = fs::read_symlink(it->path(), bad);
            if (!bad && target.filename() == name) {
                port.StableName = TextFromUtf8(it->path().string());
                break;
            }
        }
        ports.push_back(port);
    }
    return ports;
}

namespace {

// QZ_SYSFS_ROOT and QZ_DEV_ROOT point discovery at other trees, for tests and simulated
// boards.
Text RootFromEnvironment(const char* variable, const char16_t* otherwise) {
    const char* root = std::getenv(variable);
    return root && *root ? TextFromUtf8(root) : Text(otherwise);
}

}  // namespace

std::vector<Text> ListSerialPorts() {
    return ListSerialPortsUnder(RootFromEnvironment("QZ_SYSFS_ROOT", u"/sys"),
                                RootFromEnvironment("QZ_DEV_ROOT", u"/dev"));
}

std::vector<PortIdentity> ListSerialPortIdentities() {
    return ListSerialPortIdentitiesUnder(RootFromEnvironment("QZ_SYSFS_ROOT", u"/sys"),
                                         RootFromEnvironment("QZ_DEV_ROOT", u"/dev"));
}

Text PortLabel(const PortIdentity& port) {
    // The device's name without its folder, what the USB device says of itself, and its
    // serial number, which tells two boards of one kind apart. A port the system knows
    // nothing of keeps its whole path.
    Text words = port.Maker;
    if (!port.Product.empty()) words += (words.empty() ? u"" : u" ") + port.Product;
    if (!port.Serial.empty()) words += (words.empty() ? u"(" : u" (") + port.Serial + u")";
    if (words.empty()) return port.Path;
    return Text(FileNameOfPath(port.Path)) + u" - " + words;
}

bool PortNamePresent(TextView name) {
    Text path = DevicePathOf(name);
    for (const Text& port : ListSerialPorts())
        if (port == path) return true;
    // Not a present port: a built-in UART slot without hardware, or nothing at all; other
    // paths (a pseudo-terminal, a user's link) count when they exist.
    std::string file = fs::path(Utf8FromText(path)).filename().string();
    std::error_code ec;
    return !IsBuiltInUart(file) && fs::exists(fs::path(Utf8FromText(path)), ec);
}
