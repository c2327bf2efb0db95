#include <filesystem>

#include "board_fixture.h"

namespace fs = std::filesystem;

namespace {

using Entry = BoardTest;

const char* const kProgram[] = {"x = 2", "\tfor i = 1 to 3", "  print \"line \"; i * x", "next",
                                "print \"done\""};

// Streams the program as the tool does: each line with CR LF, waiting for its echoed line end.
void StreamProgram(BoardTest& t) {
    for (const char* line : kProgram)
        EXPECT_EQ(t.Say(std::string(line) + "\r\n", "\n"), std::string(line) + "\r\n");
}

// The program as the board keeps it: the TAB at column 0 is eight spaces.
std::string ProgramFile() {
    std::string text;
    for (std::string line : kProgram)
        text += (line[0] == '\t' ? std::string(8, ' ') + line.substr(1) : line) + "\n";
    return text;
}

std::string SavedReply() {
    return "\r\nSaved " + std::to_string(ProgramFile().size()) + " bytes\r\n";
}

TEST_F(Entry, AutosaveEndedByCtrlZStoresAndRuns) {
    Start();
    EXPECT_EQ(Say("NEW\r\n"), "NEW\r\n> ");
    EXPECT_EQ(Say("AUTOSAVE\r\n", "\n"), "AUTOSAVE\r\n");
    StreamProgram(*this);
    EXPECT_EQ(Say("\x1a"), SavedReply() + "> ");
    EXPECT_EQ(Stored("program.bas"), ProgramFile());
    EXPECT_EQ(Say("RUN\r\n"), "RUN\r\nline 2\r\nline 4\r\nline 6\r\ndone\r\n> ");
    EXPECT_EQ(Stored("run-output.txt"), "line 2\nline 4\nline 6\ndone\n");
    EXPECT_EQ(Say("NEW\r\n"), "NEW\r\n> ");
    EXPECT_FALSE(fs::exists(board.Store / "program.bas"));
    EXPECT_EQ(Say("RUN\r\n"), "RUN\r\n> ");
}

// AUTO keeps its lines as they come: Ctrl-C ends it. Ctrl-C abandons AUTOSAVE: nothing is
// saved, and the program in memory (and on file) stays the one before.
TEST_F(Entry, CtrlCEndsAutoButAbandonsAutosave) {
    Start();
    EXPECT_EQ(Say("AUTO\r\n", "\n"), "AUTO\r\n");
    StreamProgram(*this);
    EXPECT_EQ(Say("\x03"), SavedReply() + "> ");
    EXPECT_EQ(Stored("program.bas"), ProgramFile());
    EXPECT_EQ(Say("AUTOSAVE\r\n", "\n"), "AUTOSAVE\r\n");
    EXPECT_EQ(Say("print 1\r\n", "\n"), "print 1\r\n");
    EXPECT_EQ(Say("\x03"), "\r\n> ");
    EXPECT_EQ(Stored("program.bas"), ProgramFile());
    EXPECT_EQ(Say("RUN\r\n"), "RUN\r\nline 2\r\nline 4\r\nline 6\r\ndone\r\n> ");
}

TEST_F(Entry, NamedAutosaveSavesOrSavesAndRuns) {
    Start();
    EXPECT_EQ(Say("AUTOSAVE \"demo.bas\"\r\n", "\n"), "AUTOSAVE \"demo.bas\"\r\n");
    StreamProgram(*this);
    // The escape sequence is not echoed and not stored; the program runs at once.
    EXPECT_EQ(Say("\x1b[12~"), SavedReply() + "line 2\r\nline 4\r\nline 6\r\ndone\r\n> ");
    EXPECT_EQ(Stored("demo.bas"), ProgramFile());
    EXPECT_EQ(Stored("run-output.txt"), "line 2\nline 4\nline 6\ndone\n");

    EXPECT_EQ(Say("AUTOSAVE \"temp.bas\"\r\n", "\n"), "AUTOSAVE \"temp.bas\"\r\n");
    EXPECT_EQ(Say("print \"no run\"\r\n", "\n"), "print \"no run\"\r\n");
    EXPECT_EQ(Say("\x1b[11~"), "\r\nSaved 15 bytes\r\n> ");
    EXPECT_EQ(Stored("temp.bas"), "print \"no run\"\n");
    // Ctrl-C abandons a named entry: nothing is written.
    Say("AUTOSAVE \"gone.bas\"\r\n", "\n");
    Say("print 1\r\n", "\n");
    EXPECT_EQ(Say("\x03"), "\r\n> ");
    EXPECT_FALSE(fs::exists(board.Store / "gone.bas"));
}

TEST_F(Entry, NamesThatLeaveTheStoreAreRefused) {
    Start();
    for (const char* name : {"../escape.bas", "sub/x.bas", "..", ""}) {
        std::string command = std::string("AUTOSAVE \"") + name + "\"\r\n";
        EXPECT_EQ(Say(command), command + "Error: Invalid file name\r\n> ") << name;
    }
    EXPECT_FALSE(fs::exists(board.Dir / "escape.bas"));
}

TEST_F(Entry, ATooLongLineEndsEntryAndTheLinesAfterItRunAsCommands) {
    Start();
    Say("AUTOSAVE\r\n", "\n");
    EXPECT_EQ(Say("a = 1\r\n", "\n"), "a = 1\r\n");
    std::string limit(241, 'x'), tooLong(300, 'y');
    EXPECT_EQ(Say(limit + "\r\n", "\n"), limit + "\r\n");
    // The 242nd character is echoed, then the error and the prompt.
    EXPECT_EQ(Say(tooLong.substr(0, 242)), tooLong.substr(0, 242) + "\r\nError: Line length\r\n> ");
    EXPECT_EQ(Say(tooLong.substr(242) + "\r\n"),
              tooLong.substr(242) + "\r\nError: Unknown command\r\n> ");
    EXPECT_EQ(Say("print 2 * 3\r\n"), "print 2 * 3\r\n6\r\n> ");
    EXPECT_EQ(Say("sub foo\r\n"), "sub foo\r\nError: Unknown command\r\n> ");
    EXPECT_FALSE(fs::exists(board.Store / "program.bas"));  // nothing was saved
}

TEST_F(Entry, LoseEchoDropsEveryNthProgramLine) {
    Start({"--lose-echo", "2"});
    Say("AUTOSAVE\r\n", "\n");
    EXPECT_EQ(Say("a = 1\r\n", "\n"), "a = 1\r\n");
    Send(client, "b = 2\r\n");
    EXPECT_EQ(ReadFor(client, 300), "");
    EXPECT_EQ(Say("c = 3\r\n", "\n"), "c = 3\r\n");
    Send(client, "d = 4\r\n");
    EXPECT_EQ(ReadFor(client, 300), "");
    // The lines are stored all the same.
    EXPECT_EQ(Say("\x1a"), "\r\nSaved 24 bytes\r\n> ");
    EXPECT_EQ(Stored("program.bas"), "a = 1\nb = 2\nc = 3\nd = 4\n");
}

TEST_F(Entry, EchoDelayHoldsBackTheLineEnd) {
    Start({"--echo-delay", "300"});
    Say("\x03");
    long long sent = MonotonicMs();
    EXPECT_EQ(Say("NEW\r\n"), "NEW\r\n> ");
    EXPECT_GE(MonotonicMs() - sent, 290);
}

TEST_F(Entry, LineSpeedPacesBytesAtTheClientsBaudRate) {
    Start({"--line-speed"});
    close(client);
    client = OpenClient(board.SlavePath, 2400);  // 4.2 ms a byte each way
    std::string line(40, 'x');
    long long sent = MonotonicMs();
    EXPECT_EQ(Say(line + "\r\n", "\n"), line + "\r\n");
    // 42 bytes in and 42 out, overlapping byte by byte: at least 42 byte times.
    EXPECT_GE(MonotonicMs() - sent, 170);
}

TEST_F(Entry, VanishesAfterTheGivenNumberOfProgramLines) {
    fs::path link = fs::temp_directory_path() / ("qz-board-vanish-" + std::to_string(getpid()));
    Start({"--vanish-after-lines", "3", "--link", link.string()});
    Say("AUTOSAVE\r\n", "\n");
    EXPECT_EQ(Say("a = 1\r\n", "\n"), "a = 1\r\n");
    EXPECT_EQ(Say("b = 2\r\n", "\n"), "b = 2\r\n");
    // The third line is still echoed, then the port is gone: reads hang up.
    EXPECT_EQ(Say("c = 3\r\n", "\n"), "c = 3\r\n");
    EXPECT_TRUE(WaitUntil([&] {
        char ch;
        ssize_t n = read(client, &ch, 1);
        return n == 0 || (n < 0 && errno == EIO);
    }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_LT(OpenClient(board.SlavePath), 0);
}

}  // namespace
