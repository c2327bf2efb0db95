#include "board/pty.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/wire.h"

namespace {

bool MakeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        // Replace only a link left over from an earlier run, never a real file.
        if (!S_ISLNK(st.st_mode)) {
            LogStatus("--link " + link + " exists and is not a symlink; not replacing it");
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        LogStatus("cannot create link " + link + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

bool SetRaw(int master) {
    termios t{};
    if (tcgetattr(master, &t) != 0) return false;
    cfmakeraw(&t);
    return tcsetattr(master, TCSANOW, &t) == 0;
}

int OpenMaster(std::string& slavePath) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return -1;
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || !(name = ptsname(master))) {
        close(master);
        return -1;
    }
    slavePath = name;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    return master;
}

// Discards what the board wrote and no client read, and what is still queued, as a real port
// loses what arrives while it is closed. A pseudo-terminal keeps unread bytes across a close
// and a new open, and a client may read the moment it opens, before the board has seen the
// open notice; so this is done when the last client leaves, and output made while no client
// is there is never written. A client that reopens within a millisecond or so of closing can
// still beat the board to it.
void DropStaleOutput(Board& board) {
    if (board.Port.Slave >= 0) tcflush(board.Port.Slave, TCIFLUSH);
    DropQueuedOutput(board);
}

}  // namespace

bool OpenSerialPort(Board& board) {
    BoardPort& port = board.Port;
    port.Master = OpenMaster(port.SlavePath);
    if (port.Master < 0) {
        LogStatus(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
        return false;
    }
    port.Slave = open(port.SlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (port.Slave < 0 || !SetRaw(port.Master)) {
        LogStatus("cannot set up " + port.SlavePath + ": " + std::strerror(errno));
        CloseSerialPort(board);
        return false;
    }
    // Added after the board's own open, so only clients are counted.
    port.Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (port.Watch >= 0) inotify_add_watch(port.Watch, port.SlavePath.c_str(), IN_OPEN | IN_CLOSE);
    port.Clients = 0;
    port.Baud = ClientBaud(board);
    if (!board.Options.Link.empty() && !MakeLink(board.Options.Link, port.SlavePath)) {
        CloseSerialPort(board);
        return false;
    }
    std::printf("%s\n", port.SlavePath.c_str());
    std::fflush(stdout);
    LogStatus("serial port " + port.SlavePath + " ready");
    return true;
}

void CloseSerialPort(Board& board) {
    BoardPort& port = board.Port;
    for (int* fd : {&port.Watch, &port.Slave, &port.Master}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    if (!board.Options.Link.empty()) {
        struct stat st {};
        if (lstat(board.Options.Link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(board.Options.Link.c_str());
    }
    board.Wire.In.clear();
    DropQueuedOutput(board);
}

void WatchClients(Board& board) {
    BoardPort& port = board.Port;
    if (port.Watch < 0) return;
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = read(port.Watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->mask & IN_OPEN) {
                // Bytes still queued were meant for no one; the new client starts clean.
                if (port.Clients++ == 0) DropStaleOutput(board);
                LogStatus("client opened the port (" + std::to_string(port.Clients) + " open)");
            } else if (event->mask & IN_CLOSE) {
                if (port.Clients > 0 && --port.Clients == 0) DropStaleOutput(board);
                LogStatus("client closed the port (" + std::to_string(port.Clients) + " open)");
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
}

int ReadFromClient(Board& board, uint8_t* buffer, int capacity) {
    if (board.Port.Master < 0) return 0;
    ssize_t n = read(board.Port.Master, buffer, static_cast<size_t>(capacity));
    return n > 0 ? static_cast<int>(n) : 0;
}

bool ClientPresent(const Board& board) {
    return board.Port.Watch < 0 || board.Port.Clients > 0;  // without notices, assume one
}

long ClientBaud(const Board& board) {
    termios t{};
    if (board.Port.Master < 0 || tcgetattr(board.Port.Master, &t) != 0) return 0;
    struct Speed {
        speed_t Code;
        long Baud;
    };
    static const Speed speeds[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    speed_t code = cfgetospeed(&t);
    for (const Speed& s : speeds)
        if (s.Code == code) return s.Baud;
    return 0;
}
