#include "board_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

long long MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool StartBoard(BoardProcess& board, const std::vector<std::string>& args) {
    static int counter = 0;
    board.Dir = fs::temp_directory_path() /
                ("qz-board-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(board.Dir);
    fs::create_directories(board.Dir);
    board.Store = board.Dir / "store";
    std::vector<std::string> argv = {QZ_BOARD_PATH, "--store", board.Store.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    int out[2];
    if (pipe(out) != 0) return false;
    board.Pid = fork();
    if (board.Pid == 0) {
        dup2(out[1], 1);
        int err = open((board.Dir / "stderr.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        close(out[0]);
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    close(out[1]);
    board.Stdout = out[0];
    board.SlavePath = ReadBoardLine(board, 5000);
    return !board.SlavePath.empty();
}

int StopBoard(BoardProcess& board) {
    if (board.Pid <= 0) return -1;
    kill(board.Pid, SIGTERM);
    int status = 0;
    long long end = MonotonicMs() + 3000;
    while (waitpid(board.Pid, &status, WNOHANG) == 0) {
        if (MonotonicMs() > end) {
            kill(board.Pid, SIGKILL);
            waitpid(board.Pid, &status, 0);
            board.Pid = -1;
            return -1;
        }
        usleep(10 * 1000);
    }
    board.Pid = -1;
    if (board.Stdout >= 0) close(board.Stdout);
    board.Stdout = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadBoardLine(BoardProcess& board, int timeoutMs) {
    std::string line;
    long long end = MonotonicMs() + timeoutMs;
    char ch;
    while (MonotonicMs() < end) {
        pollfd p{board.Stdout, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        if (read(board.Stdout, &ch, 1) != 1) break;
        if (ch == '\n') return line;
        line += ch;
    }
    return {};
}

std::string BoardLog(const BoardProcess& board) {
    return FileText(board.Dir / "stderr.log");
}

int OpenClient(const std::string& path, long baud) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    speed_t speed = baud == 1200 ? B1200 : baud == 2400 ? B2400 : baud == 9600 ? B9600 : B115200;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void Send(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else
            usleep(1000);
    }
}

std::string ReadUntil(int fd, const std::string& needle, int timeoutMs) {
    std::string got;
    long long end = MonotonicMs() + timeoutMs;
    char buffer[4096];
    while (got.find(needle) == std::string::npos && MonotonicMs() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || (n < 0 && errno != EAGAIN))
            break;  // hung up
    }
    return got;
}

std::string ReadFor(int fd, int ms) {
    return ReadUntil(fd, std::string(1, '\0') + "never", ms);
}

std::string ReadLineExactly(int fd, int timeoutMs) {
    std::string got;
    long long end = MonotonicMs() + timeoutMs;
    char ch;
    while (MonotonicMs() < end && (got.empty() || got.back() != '\n')) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) > 0 && read(fd, &ch, 1) == 1) got += ch;
    }
    return got;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
