#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frontends/cli/console.h"

namespace {

termios saved{};
bool rawNow = false;
volatile sig_atomic_t stopRequested = 0;

void OnStop(int) {
    stopRequested = 1;
}

void CatchStops(bool withInterrupt) {
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    if (withInterrupt) sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

bool EnterRawKeyboard() {
    bool terminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0;
    CatchStops(!terminal);
    if (!terminal || rawNow) return terminal;
    termios raw = saved;
    cfmakeraw(&raw);
    // Output keeps its processing, so that our own lines and the log end their lines as
    // before; input is raw: no echo, no line editing, no signals from Ctrl-C or Ctrl-Z.
    raw.c_oflag = saved.c_oflag;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    rawNow = tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0;
    return rawNow;
}

void LeaveRawKeyboard() {
    if (!rawNow) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    rawNow = false;
}

int ReadKeyboard(uint8_t* buffer, int capacity, int waitMs) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready <= 0) return 0;  // nothing yet, or a signal: the loop looks again
    ssize_t got = read(STDIN_FILENO, buffer, static_cast<size_t>(capacity));
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -1;
}

bool ConsoleStopRequested() {
    return stopRequested != 0;
}

std::FILE* OpenCaptureFile(const std::string& utf8Path, std::string& why) {
    int fd = open(utf8Path.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        why =
            errno == ELOOP ? "it is a symbolic link, which is not followed" : std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "ab");
    if (!file) {
        why = std::strerror(errno);
        close(fd);
    }
    return file;
}
