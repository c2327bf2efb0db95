// The serial channel's byte operations on Windows, over a COM port handle.
//
// The port is opened for overlapped I/O so that WaitForInput can wait on the driver's
// "character received" event (WaitCommEvent) with a time-out; every read and write then
// completes on its own event (Finish), so to the callers they behave as blocking calls.
// All read time-outs are zero, which makes a ReadFile of N bytes wait until N bytes came.
// So a read never asks for more than the driver reports waiting in its input queue
// (ClearCommError), and no read blocks. Writes give up after 100 ms per byte plus 10 ms
// (the write time-outs), so a board that stopped reading cannot hang the window for long.
#include <windows.h>

#include <memory>

#include "link/open_failure.h"
#include "link/serial.h"
#include "source/system_message_win32.h"

namespace {

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

// What a USB adapter pulled out while open reports on the next call; a port whose far end
// was closed (a pseudo-terminal behind the port_) reports "not ready" to the status query and
// the write, and a broken pipe to the read.
bool IsGoneError(DWORD error) {
    return error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_NOT_CONNECTED ||
           error == ERROR_INVALID_HANDLE || error == ERROR_GEN_FAILURE ||
           error == ERROR_OPERATION_ABORTED || error == ERROR_ACCESS_DENIED ||
           error == ERROR_NOT_READY || error == ERROR_BROKEN_PIPE;
}

class Win32SerialPort final : public RecordedOpenFailures {
public:
    ~Win32SerialPort() override;
    bool Open(TextView name, long long baud) override;
    bool IsOpen() const override { return port_ != INVALID_HANDLE_VALUE; }
    int ReadAvailable(uint8_t* buffer, int capacity) override;
    bool WaitForInput(int timeoutMs) override;
    int WriteBytes(const uint8_t* bytes, int count) override;
    void Close() override;
    bool Vanished() const override { return port_ != INVALID_HANDLE_VALUE && vanished_; }

private:
    bool Fail(OpenFailure kind, DWORD error, TextView name, const Text& path) {
        return RecordedOpenFailures::Fail(kind, name, path, SystemMessage(error));
    }
    void NoteError(DWORD error) {
        if (IsGoneError(error)) vanished_ = true;
    }
    DWORD Finish(BOOL started, OVERLAPPED& ov);
    DWORD QueuedBytes();

    HANDLE port_ = INVALID_HANDLE_VALUE;
    HANDLE ioDone_ = nullptr;   // manual-reset event of the reads and writes
    HANDLE rxEvent_ = nullptr;  // manual-reset event of WaitCommEvent
    bool vanished_ = false;
};

Win32SerialPort::~Win32SerialPort() {
    Close();
    if (ioDone_) CloseHandle(ioDone_);
    if (rxEvent_) CloseHandle(rxEvent_);
}

// Completes an overlapped call: `started` is what ReadFile or WriteFile returned. The count
// of bytes moved; 0 on failure, with the error noted.
DWORD Win32SerialPort::Finish(BOOL started, OVERLAPPED& ov) {
    DWORD moved = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) {
        NoteError(GetLastError());
        return 0;
    }
    if (!GetOverlappedResult(port_, &ov, &moved, TRUE)) NoteError(GetLastError());
    return moved;
}

DWORD Win32SerialPort::QueuedBytes() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) {
        NoteError(GetLastError());
        return 0;
    }
    return status.cbInQue;
}

bool Win32SerialPort::Open(TextView name, long long baud) {
    Text path = DevicePathOf(name);
    HANDLE h = CreateFileW(WideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return Fail(FailureOfError(error), error, name, path);
    }
    SetupComm(h, kQueueSize, kQueueSize);
    if (baud <= 0 || baud > 0xFFFFFFFFLL || !ApplyLineSettings(h, baud)) {
        DWORD error = baud <= 0 ? ERROR_INVALID_PARAMETER : GetLastError();
        CloseHandle(h);
        return Fail(OpenFailure::BadSettings, error, name, path);
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 10;
    SetCommTimeouts(h, &timeouts);
    SetCommMask(h, EV_RXCHAR);
    if (!ioDone_) ioDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!rxEvent_) rxEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
    port_ = h;
    vanished_ = false;
    Succeeded();
    return true;
}

int Win32SerialPort::ReadAvailable(uint8_t* buffer, int capacity) {
    if (port_ == INVALID_HANDLE_VALUE) return -1;
    DWORD queued = QueuedBytes();
    if (queued == 0 || capacity <= 0) return 0;
    DWORD wanted = queued < static_cast<DWORD>(capacity) ? queued : static_cast<DWORD>(capacity);
    OVERLAPPED ov{};
    ov.hEvent = ioDone_;
    return static_cast<int>(Finish(ReadFile(port_, buffer, wanted, nullptr, &ov), ov));
}

// The wait is started before the queue is looked at: a byte that comes after the look
// signals the wait, one that came before it is seen by the look. Setting the event mask
// again ends a wait still pending, which is then collected before its OVERLAPPED goes.
bool Win32SerialPort::WaitForInput(int timeoutMs) {
    DWORD wait = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0;
    if (port_ == INVALID_HANDLE_VALUE || vanished_) {
        Sleep(wait);
        return false;
    }
    DWORD events = 0;
    OVERLAPPED ov{};
    ov.hEvent = rxEvent_;
    ResetEvent(rxEvent_);
    BOOL done = WaitCommEvent(port_, &events, &ov);
    bool pending = !done && GetLastError() == ERROR_IO_PENDING;
    if (!done && !pending) {
        NoteError(GetLastError());
        Sleep(wait);
        return false;
    }
    if (pending && QueuedBytes() == 0) WaitForSingleObject(rxEvent_, wait);
    if (pending && WaitForSingleObject(rxEvent_, 0) != WAIT_OBJECT_0) {
        SetCommMask(port_, EV_RXCHAR);
        DWORD ignored = 0;
        GetOverlappedResult(port_, &ov, &ignored, TRUE);
    }
    return QueuedBytes() > 0;
}

int Win32SerialPort::WriteBytes(const uint8_t* bytes, int count) {
    if (port_ == INVALID_HANDLE_VALUE) return -1;
    if (count <= 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = ioDone_;
    return static_cast<int>(
        Finish(WriteFile(port_, bytes, static_cast<DWORD>(count), nullptr, &ov), ov));
}

void Win32SerialPort::Close() {
    if (port_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    vanished_ = false;
}

}  // namespace

Text DevicePathOf(TextView name) {
    return u"\\\\.\\" + Text(name.substr(0, kNameLimit));
}

std::unique_ptr<SerialPort> MakeSystemSerialPort() {
    return std::make_unique<Win32SerialPort>();
}
