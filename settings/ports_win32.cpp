// Serial port discovery on Windows: every serial port driver keeps one value under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM while its port is present; the value's data is the
// port name (COM3). The values come in the registry's order, which is not sorted.
#include "settings/registry_win32.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/ports.h"

namespace {

constexpr size_t kSzLimit = 66;
constexpr size_t kBinaryLimit = 2096;

std::wstring WideOf(TextView text) {
    return std::wstring(text.begin(), text.end());
}

Text TextOf(const wchar_t* chars, size_t count) {
    return Text(chars, chars + count);
}

// The key path without one leading and one trailing "\".
std::wstring KeyPath(TextView path) {
    if (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    return WideOf(path);
}

HKEY OpenForReading(HKEY root, TextView path, bool view64) {
    HKEY key = nullptr;
    REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : 0);
    if (RegOpenKeyExW(root, KeyPath(path).c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// The characters of a registry string, up to the first NUL (the stored size may or may
// not count a terminator).
size_t StringLength(const std::vector<BYTE>& data) {
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.data());
    size_t count = data.size() / sizeof(wchar_t);
    size_t n = 0;
    while (n < count && chars[n] != L'\0')
        ++n;
    return n;
}

Text PortNameText(const std::vector<BYTE>& data) {
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.data());
    size_t n = StringLength(data);
    if (n > kSzLimit) n = kSzLimit;
    size_t cut = 0;
    while (cut < n && chars[cut] <= 127)
        ++cut;
    return TextOf(chars, cut);
}

Text ExpandedText(const std::vector<BYTE>& data) {
    std::wstring raw(reinterpret_cast<const wchar_t*>(data.data()), StringLength(data));
    DWORD needed = ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0);
    if (needed == 0) return Text();
    std::wstring expanded(needed, L'\0');
    DWORD written = ExpandEnvironmentStringsW(raw.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed) return Text();
    expanded.resize(written - 1);  // the count includes the terminating NUL
    return TextOf(expanded.data(), expanded.size());
}

Text MultiStringText(const std::vector<BYTE>& data) {
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.data());
    size_t count = data.size() / sizeof(wchar_t);
    Text joined;
    size_t i = 0;
    while (i < count && chars[i] != L'\0') {  // an empty string ends the list
        size_t start = i;
        while (i < count && chars[i] != L'\0')
            ++i;
        joined += TextOf(chars + start, i - start);
        joined += u'\n';
        ++i;
    }
    if (!joined.empty()) joined.pop_back();
    return joined;
}

Text BinaryText(const std::vector<BYTE>& data) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    Text out;
    for (size_t i = 0; i < data.size() && i < kBinaryLimit; ++i) {
        if (i > 0) out += u',';
        out += u'$';
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 0x0F];
    }
    return out;
}

Text DataText(DWORD type, const std::vector<BYTE>& data) {
    switch (type) {
        case REG_SZ:
            return PortNameText(data);
        case REG_EXPAND_SZ:
            return ExpandedText(data);
        case REG_DWORD: {
            DWORD v = 0;
            if (data.size() < sizeof v) return Text();
            memcpy(&v, data.data(), sizeof v);
            return DecimalText(static_cast<long long>(v));
        }
        case REG_QWORD: {
            unsigned long long v = 0;
            if (data.size() < sizeof v) return Text();
            memcpy(&v, data.data(), sizeof v);
            std::string digits = std::to_string(v);
            return Text(digits.begin(), digits.end());
        }
        case REG_MULTI_SZ:
            return MultiStringText(data);
        case REG_BINARY:
            return BinaryText(data);
        default:
            return Text();
    }
}

}  // namespace

int CountRegistryValues(HKEY root, TextView path, bool view64) {
    HKEY key = OpenForReading(root, path, view64);
    if (!key) return 0;
    DWORD values = 0;
    LONG result = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? static_cast<int>(values) : 0;
}

Text RegistryValueName(HKEY root, TextView path, bool view64, int index) {
    if (index < 0) return Text();
    HKEY key = OpenForReading(root, path, view64);
    if (!key) return Text();
    DWORD longest = 0;
    Text name;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        std::vector<wchar_t> buffer(longest + 1);
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumValueW(key, static_cast<DWORD>(index), buffer.data(), &length, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS)
            name = TextOf(buffer.data(), length);
    }
    RegCloseKey(key);
    return name;
}

Text ReadRegistryValue(HKEY root, TextView path, bool view64, TextView valueName) {
    HKEY key = OpenForReading(root, path, view64);
    if (!key) return Text();
    std::wstring name = WideOf(valueName);
    DWORD type = 0, size = 0;
    Text text;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> data(size);
        DWORD got = size;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got) ==
            ERROR_SUCCESS) {
            data.resize(got < size ? got : size);
            text = DataText(type, data);
        }
    }
    RegCloseKey(key);
    return text;
}

std::vector<Text> ListSerialPorts() {
    const TextView serialComm = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    std::vector<Text> ports;
    // The count is taken once; a port removed meanwhile gives an empty item.
    int count = CountRegistryValues(HKEY_LOCAL_MACHINE, serialComm, false);
    for (int i = 0; i < count; ++i) {
        Text name = RegistryValueName(HKEY_LOCAL_MACHINE, serialComm, false, i);
        ports.push_back(ReadRegistryValue(HKEY_LOCAL_MACHINE, serialComm, false, name));
    }
    return ports;
}

namespace {

// The "Ports (COM & LPT)" device class.
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

Text DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr))
        return Text();
    return TextOf(buffer, wcslen(buffer));
}

Text InstanceId(DEVINST instance) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(instance, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return Text();
    return TextOf(id, wcslen(id));
}

// The four hex digits after `key` ("VID_") in a USB device id, lower case.
Text IdPart(const Text& id, TextView key) {
    size_t at = UpperText(id).find(key);
    return at == Text::npos ? Text() : LowerText(id.substr(at + key.size(), 4));
}

// USB\VID_2E8A&PID_000A\E6614C311B: the last part is the device's serial number unless
// Windows made it up (then it holds "&"). An interface of a composite device
// (...&MI_00\...) takes it from its parent, the device itself.
Text SerialOf(DEVINST instance) {
    Text id = InstanceId(instance);
    if (StartsWith(UpperText(id), u"FTDIBUS\\")) {  // FTDIBUS\VID_0403+PID_6001+SERIAL\0000
        size_t plus = id.rfind(u'+'), end = id.rfind(u'\\');
        return plus == Text::npos || end < plus ? Text() : id.substr(plus + 1, end - plus - 1);
    }
    if (Contains(UpperText(id), u"&MI_")) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, instance, 0) != CR_SUCCESS) return Text();
        id = InstanceId(parent);
    }
    size_t cut = id.rfind(u'\\');
    Text last = cut == Text::npos ? Text() : id.substr(cut + 1);
    return last.find(u'&') == Text::npos ? last : Text();
}

}  // namespace

std::vector<PortIdentity> ListSerialPortIdentities() {
    std::vector<PortIdentity> ports;
    for (const Text& name : ListSerialPorts())
        ports.push_back(PortIdentity{name, {}, {}, {}, {}, {}, {}, false});
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t portName[64] = {};
        DWORD size = sizeof portName - 2;
        LONG read = RegQueryValueExW(key, L"PortName", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(portName), &size);
        RegCloseKey(key);
        if (read != ERROR_SUCCESS) continue;
        Text name = TextOf(portName, wcslen(portName));
        for (PortIdentity& port : ports) {
            if (LowerText(port.Path) != LowerText(name)) continue;
            Text id = InstanceId(device.DevInst);
            if (StartsWith(UpperText(id), u"USB\\") || StartsWith(UpperText(id), u"FTDIBUS\\")) {
                port.VendorId = IdPart(id, u"VID_");
                port.ProductId = IdPart(id, u"PID_");
                port.Serial = SerialOf(device.DevInst);
            }
            port.Maker = DeviceText(set, device, SPDRP_MFG);
            port.Product = DeviceText(set, device, SPDRP_DEVICEDESC);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

Text PortLabel(const PortIdentity& port) {
    return port.Product.empty() ? port.Path : port.Path + u" - " + port.Product;
}

bool PortNamePresent(TextView) {
    return true;
}
