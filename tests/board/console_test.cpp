#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "board_fixture.h"

namespace fs = std::filesystem;

namespace {

using Console = BoardTest;

TEST_F(Console, EchoesLinesAndPrompts) {
    Start();
    EXPECT_EQ(Say("\x03"), "\r\n> ");
    // CR becomes CR LF in the echo; the LF of the client's CR LF adds nothing.
    EXPECT_EQ(Say("NEW\r\n"), "NEW\r\n> ");
    EXPECT_EQ(Say("print 2+3*(4-1), \"a\"+\"b\"; 7/2\r\n"),
              "print 2+3*(4-1), \"a\"+\"b\"; 7/2\r\n11      ab3.5\r\n> ");
    // Ctrl-C drops a half-typed line; backspace takes back a character.
    EXPECT_EQ(Say("PRI\x03"), "PRI\r\n> ");
    EXPECT_EQ(Say("?1X\b\r"), "?1X\b \b\r\n1\r\n> ");
    EXPECT_EQ(Say("frobnicate 3\r\n"), "frobnicate 3\r\nError: Unknown command\r\n> ");
    // Everything received is in the transcript, byte for byte.
    EXPECT_TRUE(WaitUntil(
        [&] { return Stored("transcript.log").find("frobnicate 3\r\n") != std::string::npos; }));
    EXPECT_EQ(Stored("transcript.log").substr(0, 8), "\x03NEW\r\npr");
}

TEST_F(Console, AsksForPinUntilTheRightOneComes) {
    Start({"--pin", "4321"});
    EXPECT_EQ(Say("\x03", ": "), "\r\nEnter PIN or 0 to restart: ");
    std::string wrong = Say("1111\r\n", ": ");
    EXPECT_NE(wrong.find("PIN"), std::string::npos);
    EXPECT_EQ(wrong.find('>'), std::string::npos);
    EXPECT_EQ(Say("4321\r\n"), "\r\n> ");
    EXPECT_EQ(Say("\x03"), "\r\n> ");
}

TEST_F(Console, WrongPinAndSilentPinOptions) {
    Start({"--pin", "4321", "--wrong-pin"});
    Say("\x03", ": ");
    std::string reply = Say("4321\r\n", ": ");
    EXPECT_NE(reply.find("Enter PIN"), std::string::npos);
    EXPECT_EQ(reply.find('>'), std::string::npos);
    TearDown();

    Start({"--pin", "4321", "--pin-silent"});
    Say("\x03", ": ");
    Send(client, "4321\r\n");
    EXPECT_EQ(ReadFor(client, 400), "");
    Send(client, "\x03NEW\r\n");
    EXPECT_EQ(ReadFor(client, 300), "");
}

TEST_F(Console, ClockCommandsAreCheckedAndStored) {
    Start();
    EXPECT_EQ(Say("date$ = \"06/12/2026\": time$ = \"08:14:31\"\r\n"),
              "date$ = \"06/12/2026\": time$ = \"08:14:31\"\r\n> ");
    EXPECT_EQ(Say("RTC SETTIME 2026, 12, 06, 08, 14, 31\r\n"),
              "RTC SETTIME 2026, 12, 06, 08, 14, 31\r\n> ");
    EXPECT_EQ(Say("date$ = \"32/13/2026\"\r\n"),
              "date$ = \"32/13/2026\"\r\nError: Invalid date\r\n> ");
    EXPECT_NE(Say("RTC SETTIME 2026, 12, 06, 25, 14, 31\r\n").find("Error"), std::string::npos);
    EXPECT_EQ(Say("? date$; \" \"; time$\r\n"),
              "? date$; \" \"; time$\r\n06/12/2026 08:14:31\r\n> ");
    EXPECT_EQ(Stored("clock.txt"), "DATE 06/12/2026\nTIME 08:14:31\nRTC 2026 12 06 08 14 31\n");
}

TEST_F(Console, CommandProfileRunsLinesAtThePrompt) {
    Start();
    // No start command: the tool sends an empty line, then each line is a command.
    EXPECT_EQ(Say("\r\n"), "\r\n> ");
    EXPECT_EQ(Say("x = 6\r\n"), "x = 6\r\n> ");
    EXPECT_EQ(Say("LET y$ = \"n=\"\r\n"), "LET y$ = \"n=\"\r\n> ");
    EXPECT_EQ(Say("PRINT y$; x * 7\r\n"), "PRINT y$; x * 7\r\nn=42\r\n> ");
    EXPECT_EQ(Say("for i = 1 to 3: print i;: next i\r\n"),
              "for i = 1 to 3: print i;: next i\r\n123\r\n> ");
}

TEST_F(Console, SilentBoardAnswersNothingButRecords) {
    Start({"--silent"});
    Send(client, "\x03NEW\r\n");
    EXPECT_EQ(ReadFor(client, 400), "");
    EXPECT_TRUE(WaitUntil([&] { return Stored("transcript.log") == "\x03NEW\r\n"; }));
}

TEST_F(Console, NewClientDoesNotGetTheOldClientsOutput) {
    Start();
    // The first client leaves without reading the answer.
    Send(client, "print \"stale\"\r\n");
    usleep(200 * 1000);
    close(client);
    usleep(50 * 1000);  // the next client comes later, as the tool's next job does
    client = OpenClient(board.SlavePath);
    ASSERT_GE(client, 0);
    EXPECT_EQ(Say("\x03"), "\r\n> ");
}

TEST_F(Console, LinkIsMadeReplacedAndRemoved) {
    fs::path link = fs::temp_directory_path() / ("qz-board-link-" + std::to_string(getpid()));
    fs::remove(link);
    fs::create_symlink("/nonexistent/stale", link);
    Start({"--link", link.string()});
    EXPECT_EQ(fs::read_symlink(link), board.SlavePath);
    int viaLink = OpenClient(link.string());
    ASSERT_GE(viaLink, 0);
    Send(viaLink, "\x03");
    EXPECT_EQ(ReadUntil(viaLink, "> "), "\r\n> ");
    close(viaLink);
    EXPECT_EQ(StopBoard(board), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // A real file in the link's place is not clobbered: the board refuses to start.
    { std::ofstream(link) << "keep me"; }
    BoardProcess second;
    EXPECT_FALSE(StartBoard(second, {"--link", link.string()}));
    EXPECT_EQ(StopBoard(second), 1);
    EXPECT_EQ(FileText(link), "keep me");
    fs::remove(link);
    fs::remove_all(second.Dir);
}

TEST(BoardOptions, HelpListsTheOptionTableAndBadOptionsFail) {
    std::string out = fs::temp_directory_path() / ("qz-board-help-" + std::to_string(getpid()));
    int status = std::system((std::string(QZ_BOARD_PATH) + " --help > " + out).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string help = FileText(out);
    for (const char* option :
         {"--link PATH", "--store DIR", "--pin NNNN", "--wrong-pin", "--pin-silent", "--silent",
          "--xmodem crc|checksum", "--echo-delay MS", "--lose-echo N", "--nak-blocks LIST",
          "--nak-count K", "--nak-all", "--can-block N", "--ignore-eot", "--vanish-after-lines N",
          "--line-speed", "--drive-dir DIR", "--mounts-file FILE"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    fs::remove(out);
    for (const char* bad : {" --bogus", " --lose-echo x", " --xmodem 1k", " --nak-blocks 1,,2",
                            " --echo-delay", " --echo-delay -1", " --echo-delay 2ms"}) {
        status = std::system((std::string(QZ_BOARD_PATH) + bad + " 2>/dev/null").c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << bad;
    }
}

}  // namespace
