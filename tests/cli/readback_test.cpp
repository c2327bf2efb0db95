// qz-upload --get and --verify against the simulated board.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/board_peer.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int Exit = -1;
    std::string Shown;  // standard output and error
};

// qz-upload in `dir` with a settings file of defaults, on the board's port at 115200.
Outcome Upload(const BoardPeer& board, const fs::path& dir, const std::vector<std::string>& args) {
    std::ofstream(dir / "empty.inf").close();
    std::string command = "cd '" + dir.string() +
                          "' && " QZ_BINARY_DIR "/frontends/cli/qz-upload -s empty.inf -p '" +
                          board.Tty + "' -b 115200";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " </dev/null 2>&1";
    Outcome run;
    std::FILE* out = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        run.Shown.append(buffer, n);
    int status = pclose(out);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Readback, GetStoresAFileByteForByteThroughADamagedBlockAndNeverOverAnother) {
    BoardPeer board = StartBoard({"--corrupt-send-block", "5"});
    fs::path dir = FreshFolder("qz-get");
    std::mt19937 random(7);
    std::string data(100 * 1024, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    std::ofstream(board.Store / "big.bin", std::ios::binary) << data;

    Outcome got = Upload(board, dir, {"--get", "big.bin"});
    EXPECT_EQ(got.Exit, 0) << got.Shown;
    EXPECT_TRUE(Slurp(dir / "big.bin") == data);
    std::string asked = StoredFile(board, "transcript.log");
    EXPECT_EQ(std::count(asked.begin(), asked.end(), '\x15'), 1) << "one NAK for the damaged block";

    std::ofstream(dir / "big.bin", std::ios::binary | std::ios::trunc) << "mine";
    Outcome again = Upload(board, dir, {"--get", "big.bin"});
    EXPECT_EQ(again.Exit, 1) << again.Shown;
    EXPECT_NE(again.Shown.find("exists; give --force"), std::string::npos);
    EXPECT_EQ(Slurp(dir / "big.bin"), "mine");

    size_t files = std::distance(fs::directory_iterator(dir), {});
    Outcome missing = Upload(board, dir, {"--get", "gone.bas", "-o", "gone.bas"});
    EXPECT_EQ(missing.Exit, 20) << missing.Shown;
    EXPECT_NE(missing.Shown.find("Error: File not found"), std::string::npos) << missing.Shown;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), files) << "nothing left behind";
    StopBoard(board);
}

// A board that knows only the checksum starts sending on NAK: the receiver falls back to it.
TEST(Readback, GetFallsBackToTheChecksumForABoardThatStartsOnlyOnNak) {
    BoardPeer board = StartBoard({"--xmodem", "checksum"});
    fs::path dir = FreshFolder("qz-get-sum");
    std::ofstream(board.Store / "notes.txt", std::ios::binary) << "a\r\nb\r\n";
    Outcome got = Upload(board, dir, {"--get", "notes.txt", "-o", "copy.txt"});
    EXPECT_EQ(got.Exit, 0) << got.Shown;
    EXPECT_EQ(Slurp(dir / "copy.txt"), "a\r\nb\r\n");
    StopBoard(board);
}

TEST(Readback, VerifyPassesOnACleanUploadAndNamesTheLineTheBoardKeptOtherwise) {
    fs::path dir = FreshFolder("qz-verify");
    std::ofstream(dir / "p.bas") << "print \"A\"\n\tfor i = 1 to 2   \nprint i\nnext\n";
    BoardPeer clean = StartBoard();
    Outcome ok = Upload(clean, dir, {"--fast", "--verify", "p.bas"});
    EXPECT_EQ(ok.Exit, 0) << ok.Shown;
    EXPECT_NE(ok.Shown.find("Verified"), std::string::npos) << ok.Shown;
    EXPECT_NE(ok.Shown.find("RUN\r\nA\r\n1\r\n2\r\n"), std::string::npos) << ok.Shown;
    std::ofstream(dir / "pic.bin", std::ios::binary) << std::string(300, '\x7f') + "\x01\0\0";
    Outcome file = Upload(clean, dir, {"--fast", "--verify", "pic.bin"});
    EXPECT_EQ(file.Exit, 0) << file.Shown;
    EXPECT_NE(file.Shown.find("Verified: the board stored the file as sent"), std::string::npos);
    StopBoard(clean);

    BoardPeer lossy = StartBoard({"--alter-stored-line", "3"});
    Outcome bad = Upload(lossy, dir, {"--fast", "--verify", "p.bas"});
    EXPECT_EQ(bad.Exit, 15) << bad.Shown;
    EXPECT_NE(bad.Shown.find("Line 3 differs: sent \"print i\", the board has \"print\""),
              std::string::npos)
        << bad.Shown;
    EXPECT_EQ(bad.Shown.find("RUN"), std::string::npos) << "a program that differs is not run";
    StopBoard(lossy);
}

}  // namespace
