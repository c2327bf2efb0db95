// The serial channel's byte operations on Windows, over a COM port handle.
//
// The port is opened blocking (not overlapped) with all read time-outs zero, which makes a
// ReadFile of N bytes wait until N bytes came. So a read never asks for more than the driver
// reports waiting in its input queue (ClearCommError), and no read blocks. Writes give up
// after 100 ms per byte plus 10 ms (the write time-outs), so a board that stopped reading
// cannot hang the window for long.
#include <windows.h>

#include "link/serial.h"
#include "source/system_message_win32.h"

namespace {

HANDLE port = INVALID_HANDLE_VALUE;
bool vanished = false;
OpenFailure lastFailure = OpenFailure::None;
Text lastFailureDetail;

constexpr size_t kNameLimit = 59;
constexpr DWORD kQueueSize = 8192;

std::wstring WideOf(TextView text) {
    return std::wstring(text.begin(), text.end());
}

OpenFailure FailureOfError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return OpenFailure::NoSuchDevice;
        case ERROR_ACCESS_DENIED:
            // A COM port opened by another program (ports are never shared) reports this.
            return OpenFailure::Busy;
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return OpenFailure::Busy;
        default:
            return OpenFailure::Other;
    }
}

bool Fail(OpenFailure kind, DWORD error, const Text& path) {
    lastFailure = kind;
    lastFailureDetail = SystemMessage(error) + u": " + path;
    return false;
}

// 8N1 at `baud`, parity checking on (there is no parity bit, so it never trips), no CTS
// flow control and RTS held off. DTR, DSR, XON/XOFF and the special characters stay as
// the port reports them.
bool ApplyLineSettings(HANDLE h, long long baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = TRUE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    return SetCommState(h, &dcb) != 0;
}

void NoteError(DWORD error) {
    // What a USB adapter pulled out while open reports on the next call.
    if (error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_NOT_CONNECTED ||
        error == ERROR_INVALID_HANDLE || error == ERROR_GEN_FAILURE ||
        error == ERROR_OPERATION_ABORTED || error == ERROR_ACCESS_DENIED)
        vanished = true;
}

}  // namespace

Text DevicePathOf(TextView name) {
    return u"\\\\.\\" + Text(name.substr(0, kNameLimit));
}

bool OpenPort(TextView name, long long baud) {
    Text path = DevicePathOf(name);
    HANDLE h = CreateFileW(WideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return Fail(FailureOfError(error), error, path);
    }
    SetupComm(h, kQueueSize, kQueueSize);
    if (baud <= 0 || baud > 0xFFFFFFFFLL || !ApplyLineSettings(h, baud)) {
        DWORD error = baud <= 0 ? ERROR_INVALID_PARAMETER : GetLastError();
        CloseHandle(h);
        return Fail(OpenFailure::BadSettings, error, path);
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 10;
    SetCommTimeouts(h, &timeouts);
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    port = h;
    vanished = false;
    lastFailure = OpenFailure::None;
    lastFailureDetail.clear();
    return true;
}

bool IsPortOpen() {
    return port != INVALID_HANDLE_VALUE;
}

int ReadAvailable(uint8_t* buffer, int capacity) {
    if (port == INVALID_HANDLE_VALUE) return -1;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) {
        NoteError(GetLastError());
        return 0;
    }
    if (status.cbInQue == 0 || capacity <= 0) return 0;
    DWORD wanted = status.cbInQue < static_cast<DWORD>(capacity) ? status.cbInQue
                                                                 : static_cast<DWORD>(capacity);
    DWORD got = 0;
    if (!ReadFile(port, buffer, wanted, &got, nullptr)) {
        NoteError(GetLastError());
        return 0;
    }
    return static_cast<int>(got);
}

int WriteBytes(const uint8_t* bytes, int count) {
    if (port == INVALID_HANDLE_VALUE) return -1;
    if (count <= 0) return 0;
    DWORD put = 0;
    if (!WriteFile(port, bytes, static_cast<DWORD>(count), &put, nullptr))
        NoteError(GetLastError());
    return static_cast<int>(put);
}

int WriteByte(int value) {
    if (port == INVALID_HANDLE_VALUE) return -1;
    if (value < 1) return 0;
    uint8_t one = static_cast<uint8_t>(value & 0xFF);
    return WriteBytes(&one, 1);
}

void ClosePort() {
    if (port == INVALID_HANDLE_VALUE) return;
    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    vanished = false;
}

bool PortVanished() {
    return port != INVALID_HANDLE_VALUE && vanished;
}

OpenFailure LastOpenFailure() {
    return lastFailure;
}

Text LastOpenFailureDetail() {
    return lastFailureDetail;
}
