// Pseudo-terminals standing in for serial lines, for the link tests and the benchmark.
//
// The far end of a port is the pty's master side: a test plays the board there, or a relay
// carries the bytes on to another pty where a real XMODEM program runs.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// One pseudo-terminal: the master fd, the slave's path, and a slave fd held open for the
// pair's whole life, so the master never sees a hang-up while the port is closed and the
// raw settings made here persist.
struct PtyEnd {
    int master = -1;
    int holder = -1;
    std::string path;
};
PtyEnd OpenPtyEnd();
void ClosePtyEnd(PtyEnd& end);

void WriteAll(int fd, std::string_view bytes);
// Everything that arrives on `fd` within `ms` milliseconds.
std::string ReadFor(int fd, int ms);
// Reads until `count` bytes came or `timeoutMs` passed.
std::string ReadCount(int fd, size_t count, int timeoutMs);

// Starts `argv` in `folder` with stdin and stdout on one end of a socket pair, stderr
// silenced; `fd` gets the other end. A socket rather than a pty, because lrzsz flushes its
// terminal's output queue when it exits, which can throw away its last ACK.
pid_t SpawnOnSocket(const std::vector<std::string>& argv, const std::string& folder, int* fd);
// The child's exit status; -1 after killing it when it outlived `timeoutMs`.
int WaitChild(pid_t pid, int timeoutMs);

// Carries bytes both ways between two descriptors in a thread of its own. With a baud rate,
// each byte takes its line time (10 bits) in each direction. As an interpreter, the relay
// swallows what comes from `a` up to the end of the first "XMODEM" command line and holds
// what comes from `b` until 250 ms after that line, as a board does when it starts its
// receiver on command.
struct RelayOptions {
    long Baud = 0;
    bool ActAsInterpreter = false;
};
class Relay {
public:
    Relay(int a, int b, RelayOptions options);
    ~Relay();
    void Stop();
    // The swallowed command line.
    std::string Command();

private:
    void Run();
    int a_, b_;
    RelayOptions options_;
    std::atomic<bool> stop_{false};
    std::string command_;
    std::atomic<bool> commandDone_{false};
    std::thread thread_;
};
