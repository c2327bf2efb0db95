// Runs the real qz-board program for a test and talks to it through its pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

struct BoardProcess {
    pid_t Pid = -1;
    int Stdout = -1;              // the board's stdout: the port paths it prints
    std::string SlavePath;        // the first line it printed
    std::filesystem::path Dir;    // a fresh folder for this board: store/, stderr.log, ...
    std::filesystem::path Store;  // Dir/store, passed as --store
};

// Starts qz-board with `args` after "--store DIR/store"; false when no path came within 5 s.
bool StartBoard(BoardProcess& board, const std::vector<std::string>& args);
// Sends SIGTERM and waits; returns the exit status, or -1 when it had to be killed.
int StopBoard(BoardProcess& board);
// The next line the board prints on stdout, or empty after `timeoutMs`.
std::string ReadBoardLine(BoardProcess& board, int timeoutMs);
// What the board said on stderr so far, for failure messages.
std::string BoardLog(const BoardProcess& board);

// Opens a port like a client: raw, at `baud`, non-blocking reads. -1 on failure.
int OpenClient(const std::string& path, long baud = 115200);
void Send(int fd, const std::string& bytes);
// Reads until `needle` has arrived or `timeoutMs` passed; returns all that was read.
std::string ReadUntil(int fd, const std::string& needle, int timeoutMs = 2000);
// Reads whatever arrives within `ms`.
std::string ReadFor(int fd, int ms);
// Reads one byte at a time up to and including the first LF, so nothing after it is taken.
std::string ReadLineExactly(int fd, int timeoutMs = 2000);

std::string FileText(const std::filesystem::path& path);
// Polls `condition` every 10 ms until it holds or `timeoutMs` passed.
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 3000);
long long MonotonicMs();

#include <unistd.h>
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
    long long end = MonotonicMs() + timeoutMs;
    while (!condition()) {
        if (MonotonicMs() > end) return false;
        usleep(10 * 1000);
    }
    return true;
}
