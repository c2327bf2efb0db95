// qz-upload run as a user runs it, against the simulated board: how Ctrl-C ends a job.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support/board_peer.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int ExitCode = -1;
    std::string Output;
    double SecondsAfterInterrupt = 0;
};

// Starts qz-upload with `args`, sends it SIGINT after `interruptMs` and waits for its end.
Outcome RunAndInterrupt(const std::vector<std::string>& args, int interruptMs) {
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>(QZ_UPLOAD_PATH)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    usleep(static_cast<useconds_t>(interruptMs) * 1000);
    auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    Outcome run;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        run.Output.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.SecondsAfterInterrupt =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Headless, CtrlCOutsideTheStreamingStopsTheJobAtOnce) {
    // The board stays silent: the wait for the prompt after NEW would last ten seconds.
    BoardPeer board = StartBoard({"--silent"});
    fs::path work = FreshFolder("qz-headless");
    std::ofstream(work / "p.bas") << "Print 1\r\n";
    Outcome run = RunAndInterrupt({"--port", board.Tty, "--baud", "115200", "--device", "micromite",
                                   (work / "p.bas").string()},
                                  800);
    EXPECT_EQ(run.ExitCode, 5);
    EXPECT_LT(run.SecondsAfterInterrupt, 5.0);  // far less than the wait it cut short
    EXPECT_NE(run.Output.find("Upload cancelled\nDisconnected.\n"), std::string::npos)
        << run.Output;
    // Break-in, NEW, then Ctrl-C: no start command, no program line. The board records
    // what it read a moment after the program ended.
    for (int i = 0; i < 50 && StoredFile(board, "transcript.log").size() < 7; ++i)
        usleep(20000);
    EXPECT_EQ(StoredFile(board, "transcript.log"), "\x03NEW\r\n\x03");
    StopBoard(board);

    // During XMODEM: five CAN bytes tell the board's receiver to give up.
    board = StartBoard();
    std::ofstream(work / "pic.bmp", std::ios::binary) << std::string(20000, 'p');
    run = RunAndInterrupt({"--port", board.Tty, "--baud", "115200", (work / "pic.bmp").string()},
                          2500);
    EXPECT_EQ(run.ExitCode, 5);
    EXPECT_LT(run.SecondsAfterInterrupt, 5.0);
    EXPECT_NE(run.Output.find("Transfer cancelled\n"), std::string::npos) << run.Output;
    std::string t;
    for (int i = 0;
         i < 50 && (t = StoredFile(board, "transcript.log")).find("\x18\x18\x18\x18\x18") ==
                       std::string::npos;
         ++i)
        usleep(20000);
    EXPECT_EQ(t.substr(t.size() - 5), std::string(5, '\x18'));
    EXPECT_EQ(StoredFile(board, "pic.bmp"), "");  // the board kept nothing
    StopBoard(board);
    fs::remove_all(work);
}

}  // namespace
