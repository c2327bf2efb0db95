#include "tests/link/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>

namespace {

int64_t NowUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

PtyEnd OpenPtyEnd() {
    PtyEnd end;
    end.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (end.master < 0 || grantpt(end.master) != 0 || unlockpt(end.master) != 0) std::abort();
    end.path = ptsname(end.master);
    end.holder = open(end.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    tcgetattr(end.holder, &tio);
    cfmakeraw(&tio);
    tcsetattr(end.holder, TCSANOW, &tio);
    return end;
}

void ClosePtyEnd(PtyEnd& end) {
    if (end.master >= 0) close(end.master);
    if (end.holder >= 0) close(end.holder);
    end.master = end.holder = -1;
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t put = write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
}

std::string ReadCount(int fd, size_t count, int timeoutMs) {
    std::string got;
    const int64_t end = NowUs() + timeoutMs * 1000LL;
    while (got.size() < count) {
        int64_t left = (end - NowUs()) / 1000;
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[4096];
        size_t want = std::min(sizeof chunk, count - got.size());
        ssize_t n = read(fd, chunk, want);
        if (n <= 0) break;  // EIO: the slave side is gone
        got.append(chunk, static_cast<size_t>(n));
    }
    return got;
}

std::string ReadFor(int fd, int ms) {
    return ReadCount(fd, static_cast<size_t>(-1), ms);
}

pid_t SpawnOnSocket(const std::vector<std::string>& argv, const std::string& folder, int* fd) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) {
        close(pair[1]);
        *fd = pair[0];
        return pid;
    }
    // The child: only async-signal-safe calls until exec.
    int null = open("/dev/null", O_WRONLY);
    if (null < 0 || chdir(folder.c_str()) != 0) _exit(126);
    dup2(pair[1], 0);
    dup2(pair[1], 1);
    dup2(null, 2);
    execvp(args[0], args.data());
    _exit(127);
}

int WaitChild(pid_t pid, int timeoutMs) {
    const int64_t end = NowUs() + timeoutMs * 1000LL;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (NowUs() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Relay::Relay(int a, int b, RelayOptions options)
    : a_(a), b_(b), options_(options), thread_([this] { Run(); }) {}

Relay::~Relay() {
    Stop();
}

void Relay::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::string Relay::Command() {
    return commandDone_ ? command_ : std::string();
}

namespace {

struct Chunk {
    int64_t dueUs;
    std::string bytes;
};

// One direction of the line: bytes wait in the queue until their line time has passed.
struct Direction {
    int to;
    long baud;
    std::deque<Chunk> queue;
    int64_t lineFreeUs = 0;

    void Carry(std::string bytes, int64_t now) {
        int64_t due = now;
        if (baud > 0) {
            due = std::max(now, lineFreeUs) +
                  static_cast<int64_t>(bytes.size()) * 10 * 1000000 / baud;
            lineFreeUs = due;
        }
        queue.push_back({due, std::move(bytes)});
    }
    void Deliver(int64_t now) {
        while (!queue.empty() && queue.front().dueUs <= now) {
            WriteAll(to, queue.front().bytes);
            queue.pop_front();
        }
    }
    int64_t WaitUs(int64_t now) const {
        return queue.empty() ? 5000 : std::clamp<int64_t>(queue.front().dueUs - now, 0, 5000);
    }
};

}  // namespace

void Relay::Run() {
    Direction toB{b_, options_.Baud, {}}, toA{a_, options_.Baud, {}};
    int64_t releaseUs = options_.ActAsInterpreter ? INT64_MAX : 0;
    pollfd fds[2] = {{a_, POLLIN, 0}, {b_, POLLIN, 0}};
    // Paced lines read little at a time so bytes come out spread over their line time.
    const size_t chunkSize = options_.Baud > 0 ? 16 : 4096;
    while (!stop_) {
        int64_t now = NowUs();
        toB.Deliver(now);
        if (now >= releaseUs) toA.Deliver(now);
        int64_t wait = std::min(toB.WaitUs(now), now >= releaseUs ? toA.WaitUs(now) : 5000);
        if (poll(fds, 2, static_cast<int>((wait + 999) / 1000)) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, chunkSize);
            if (n <= 0) {
                fds[i].fd = -1;  // that slave is gone for good
                continue;
            }
            std::string bytes(buffer, static_cast<size_t>(n));
            now = NowUs();
            if (i == 1) {
                toA.Carry(std::move(bytes), now);
            } else if (!options_.ActAsInterpreter || commandDone_) {
                toB.Carry(std::move(bytes), now);
            } else {
                command_ += bytes;
                size_t end = command_.find("\r\n", command_.find("XMODEM "));
                if (command_.find("XMODEM ") == std::string::npos || end == std::string::npos)
                    continue;
                std::string rest = command_.substr(end + 2);
                command_.resize(end + 2);
                commandDone_ = true;
                releaseUs = now + 250000;
                if (!rest.empty()) toB.Carry(std::move(rest), now);
            }
        }
    }
}
