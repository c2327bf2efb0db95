#include "tests/support/board_peer.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

fs::path FreshFolder(const std::string& stem) {
    static std::atomic<int> counter{0};
    fs::path dir = fs::temp_directory_path() /
                   (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

BoardPeer StartBoard(const std::vector<std::string>& options) {
    BoardPeer board;
    board.Store = FreshFolder("qz-board");
    std::vector<std::string> args = {QZ_BOARD_PATH, "--store", board.Store.string()};
    args.insert(args.end(), options.begin(), options.end());
    int out[2];
    if (pipe(out) != 0) {
        ADD_FAILURE() << "pipe failed";
        return board;
    }
    pid_t pid = fork();
    if (pid == 0) {
        // A board left behind by a failed check ends with the test program, so that it
        // holds no terminal or pipe of the test run open.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    board.Pid = pid;
    // The first line the board prints is the path of its serial end.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    close(out[0]);
    if (line.empty()) {
        ADD_FAILURE() << "the simulated board did not report its serial end";
        StopBoard(board);
    }
    board.Tty = line;
    return board;
}

void StopBoard(BoardPeer& board) {
    if (board.Pid > 0) {
        kill(board.Pid, SIGTERM);
        int status;
        waitpid(board.Pid, &status, 0);
    }
    board.Pid = -1;
}

std::string StoredFile(const BoardPeer& board, const std::string& name) {
    std::ifstream in(board.Store / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
