// The serial channel's byte operations on POSIX terminals (termios).
//
// The port is opened non-blocking and kept that way: reads take what has arrived, up to the
// caller's capacity, and never wait, and writes wait in poll() for room in
// the output queue, giving up after 100 ms per byte plus 10 ms like the Windows write
// time-outs. The line settings are those of every open the tool does: raw 8N1, receiver
// on, modem lines ignored (CLOCAL), no hardware or software flow control, RTS dropped;
// DTR is left as the driver sets it. The kernel sizes the driver queues itself (at least
// the 8192 bytes each way the Windows build asks for), so there is nothing to set there.
//
// Only a terminal device is a port: a regular file, /dev/null or the user's own terminal is
// refused as "not a serial port". A port that another program holds open is refused too
// (naming it), since the two would take each other's replies; TIOCEXCL then keeps later
// openers out.
//
// Port names. Users come with Windows habits and Windows-made settings files, so a name
// is turned into a device path by this rule (DevicePathOf):
//   1. a name holding "/" is a path and used as it is, however long (/dev/ttyUSB0, a pty's
//      /dev/pts/3, a /dev/serial/by-id/... name or a symlink anywhere);
//   2. a bare name is looked up under /dev (ttyUSB0 -> /dev/ttyUSB0);
//   3. a Windows name "comN" (any letter case; an options line lowercases it to com7) that
//      /dev does not hold as given maps to /dev/comN when that exists (a user's udev
//      symlink), otherwise to /dev/ttyS(N-1), the same first-serial-port-is-1 counting.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "link/clock.h"
#include "link/open_failure.h"
#include "link/serial.h"

namespace {

bool FileExistsAt(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// "com7" -> 7; 0 when the name is not a Windows COM name.
long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (size_t i = 0; i < 3; ++i)
        if ((name[i] | 0x20) != "com"[i]) return 0;
    long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The rates with a termios constant; the ones above 230400 are Linux and BSD additions.
struct Rate {
    long long Baud;
    speed_t Constant;
};
constexpr Rate kRates[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
};

// B0 for 0 and every rate without a constant: refused.
speed_t SpeedConstant(long long baud) {
    for (const Rate& rate : kRates)
        if (rate.Baud == baud) return rate.Constant;
    return B0;
}

OpenFailure FailureOfErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenFailure::NoSuchDevice;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenFailure::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenFailure::Busy;
        default:
            return OpenFailure::Other;
    }
}

// Why the open terminal `fd` is not a port to upload to; empty when it may be one.
std::string NotAPortReason(int fd) {
    if (!isatty(fd)) return "it is not a terminal device";
    pid_t session = 0;
    if (ioctl(fd, TIOCGSID, &session) == 0 && session == getsid(0))
        return "it is this program's own terminal";
    return std::string();
}

// Raw 8N1 at `speed`, receiver on, no flow control of either kind.
bool ApplyLineSettings(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_iflag |= INPCK;  // parity checking on, as the Windows settings ask; no parity bit
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return false;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    // tcsetattr succeeds when any part took effect; read back that the rate did.
    termios now{};
    return tcgetattr(fd, &now) == 0 && cfgetospeed(&now) == speed;
}

void CloseFd(int fd) {
    ioctl(fd, TIOCNXCL);  // a pty keeps its flags after close; leave it reopenable
    close(fd);
}

// Fewer bytes than this in one read: little had come in, nothing is likely to be behind it.
constexpr ssize_t kFewBytes = 512;
// How often the device node is looked for: a stat a line would cost the fast mode more than
// the rest of its work on the line.
constexpr int64_t kNodeCheckMs = 100;

bool IsHangUp(short revents) {
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool IsGoneErrno(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

class PosixSerialPort final : public RecordedOpenFailures {
public:
    ~PosixSerialPort() override { Close(); }
    bool Open(TextView name, long long baud) override;
    bool IsOpen() const override { return fd_ >= 0; }
    int ReadAvailable(uint8_t* buffer, int capacity) override;
    bool WaitForInput(int timeoutMs) override;
    int WriteBytes(const uint8_t* bytes, int count) override;
    void Close() override;
    bool Vanished() const override;

private:
    bool Fail(OpenFailure kind, const std::string& why, TextView name, const std::string& path) {
        return RecordedOpenFailures::Fail(kind, name, TextFromUtf8(path), TextFromUtf8(why));
    }
    void NoteHangUp(short revents) {
        if (IsHangUp(revents)) vanished_ = true;
    }
    void NoteErrno(int err) {
        if (IsGoneErrno(err)) vanished_ = true;
    }

    int fd_ = -1;
    std::string path_;  // the device path of the open port, to notice the node vanishing
    mutable bool vanished_ = false;
    mutable int64_t nextNodeCheckMs_ = 0;  // when Vanished next looks for the device node
    mutable SystemClock clock_;            // what the waits are measured on
};

}  // namespace

Text DevicePathOf(TextView name) {
    std::string cut = Utf8FromText(name);
    if (cut.find('/') != std::string::npos) return TextFromUtf8(cut);
    std::string asGiven = "/dev/" + cut;
    long com = ComNumber(cut);
    if (com < 1 || FileExistsAt(asGiven)) return TextFromUtf8(asGiven);
    std::string link = "/dev/com" + std::to_string(com);
    if (FileExistsAt(link)) return TextFromUtf8(link);
    return TextFromUtf8("/dev/ttyS" + std::to_string(com - 1));
}

bool PosixSerialPort::Open(TextView name, long long baud) {
    std::string path = Utf8FromText(DevicePathOf(name));
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        return Fail(FailureOfErrno(err), std::strerror(err), name, path);
    }
    if (std::string why = NotAPortReason(fd); !why.empty()) {
        close(fd);
        return Fail(OpenFailure::NotASerialPort, why, name, path);
    }
    // TIOCEXCL keeps other programs out (root passes it), the lock keeps out a second copy
    // of this tool and our own second open of the same device.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        return Fail(OpenFailure::Busy, std::strerror(err), name, path);
    }
    if (std::string holders = PortHolders(path); !holders.empty()) {
        close(fd);
        return Fail(OpenFailure::Busy, "held by " + holders, name, path);
    }
    speed_t speed = SpeedConstant(baud);
    if (speed == B0 || !ApplyLineSettings(fd, speed)) {
        std::string why = speed == B0 ? "Unsupported baud rate " + std::to_string(baud)
                                      : std::string(std::strerror(errno));
        close(fd);
        return Fail(OpenFailure::BadSettings, why, name, path);
    }
    ioctl(fd, TIOCEXCL);
    int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &rts);  // fails on a pty, which has no modem lines: fine
    if (fd_ >= 0) CloseFd(fd_);
    fd_ = fd;
    path_ = path;
    vanished_ = false;
    nextNodeCheckMs_ = 0;
    Succeeded();
    return true;
}

int PosixSerialPort::ReadAvailable(uint8_t* buffer, int capacity) {
    if (fd_ < 0) return -1;
    if (capacity <= 0) return 0;
    // Read until the driver has nothing more or the buffer is full. FIONREAD is no guide:
    // the terminal layer reports at most its 4095-byte line buffer although more has come
    // in behind it, and it moves the rest up only when a read finds the buffer empty. A read
    // of a few bytes means little had come: what comes after it is taken at the next look,
    // and a further read now, which would almost always find nothing, is spared (the fast
    // mode reads twice a line). The port is
    // non-blocking, so a read with nothing there returns at once.
    int done = 0;
    while (done < capacity) {
        ssize_t got = read(fd_, buffer + done, static_cast<size_t>(capacity - done));
        if (got > 0) {
            done += static_cast<int>(got);
            if (got < kFewBytes) break;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno != EAGAIN) NoteErrno(errno);
        break;
    }
    if (done == 0) {
        // Nothing came: ask whether the far end went away, without waiting.
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) NoteHangUp(p.revents);
    }
    return done;
}

bool PosixSerialPort::WaitForInput(int timeoutMs) {
    const int64_t deadline = clock_.ElapsedMs() + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        int64_t left = deadline - clock_.ElapsedMs();
        if (fd_ < 0 || vanished_) {
            clock_.DelayMs(static_cast<int>(left));
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left > 0 ? left : 0));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        if (p.revents & POLLIN) return true;
        NoteHangUp(p.revents);  // a hang-up without bytes: sleep out the rest above
        if (!vanished_) return false;
    }
}

int PosixSerialPort::WriteBytes(const uint8_t* bytes, int count) {
    if (fd_ < 0) return -1;
    if (count <= 0) return 0;
    const int64_t deadline = clock_.ElapsedMs() + 100LL * count + 10;
    int done = 0;
    while (done < count) {
        ssize_t put = write(fd_, bytes + done, static_cast<size_t>(count - done));
        if (put > 0) {
            done += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) {
            NoteErrno(errno);
            break;
        }
        int64_t left = deadline - clock_.ElapsedMs();
        if (left <= 0) break;
        pollfd p{fd_, POLLOUT, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        if (!(p.revents & POLLOUT)) {
            NoteHangUp(p.revents);
            break;
        }
    }
    return done;
}

void PosixSerialPort::Close() {
    if (fd_ < 0) return;
    CloseFd(fd_);
    fd_ = -1;
    path_.clear();
    vanished_ = false;
}

bool PosixSerialPort::Vanished() const {
    if (fd_ < 0) return false;
    // A hang-up or an error of the device marks it gone at once; the node that vanished is
    // looked for at most every kNodeCheckMs.
    if (vanished_ || clock_.ElapsedMs() < nextNodeCheckMs_) return vanished_;
    nextNodeCheckMs_ = clock_.ElapsedMs() + kNodeCheckMs;
    if (!FileExistsAt(path_)) vanished_ = true;
    return vanished_;
}

std::unique_ptr<SerialPort> MakeSystemSerialPort() {
    return std::make_unique<PosixSerialPort>();
}
