#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "frontends/cli/window_cli.h"
#include "ui/log.h"

namespace {

class LogPane : public ::testing::Test {
protected:
    void SetUp() override {
        Cli.LogOut = nullptr;
        ClearLog();
    }
};

TEST_F(LogPane, LineBreaksGoOnlyBetweenLines) {
    AppendLog(u"A");
    AppendLog(u"");
    AppendLog(u"B");
    EXPECT_EQ(LogText(), u"A\r\n\r\nB");
    EXPECT_EQ(LogLineCount(), 3);

    // An empty first line still counts: the next append starts on the second line.
    ClearLog();
    AppendLog(u"");
    AppendLog(u"A");
    EXPECT_EQ(LogText(), u"\r\nA");

    // A text with its own line break shows as two lines.
    ClearLog();
    AppendLog(u"one\r\ntwo");
    EXPECT_EQ(LogText(), u"one\r\ntwo");
}

// Board output joins its line across pieces, takes back what a backspace erases within its
// own line only, and sits between log lines on lines of its own.
TEST_F(LogPane, BoardOutputStreamsBetweenLogLines) {
    AppendLog(u"Connected");
    AppendLogStream(u"RUN\r");
    AppendLogStream(u"\nhel");
    AppendLogStream(u"lo\r\n> PRX\b");
    AppendLogStream(u"INX");
    AppendLogStream(u"\bT");
    EXPECT_EQ(LogText(), u"Connected\r\nRUN\r\nhello\r\n> PRINT");
    AppendLog(u"went away");
    AppendLogStream(u"\b\bok\r\n");
    AppendLog(u"Disconnected.");
    EXPECT_EQ(LogText(),
              u"Connected\r\nRUN\r\nhello\r\n> PRINT\r\nwent away\r\nok\r\nDisconnected.");
    EXPECT_EQ(LogLineCount(), 7);
}

TEST_F(LogPane, TheScrollBackKeepsTheLastLines) {
    AppendLog(u"first");
    for (int i = 1; i <= 300; ++i)
        AppendLogStream(u"line " + DecimalText(i) + u"\r\n");
    KeepLastLogLines(100);
    EXPECT_LE(LogLineCount(), 100);
    EXPECT_GE(LogLineCount(), 90);
    EXPECT_TRUE(StartsWith(LogText(), u"line "));
    EXPECT_TRUE(Contains(LogText(), u"line 300\r\n"));
    KeepLastLogLines(100);  // within the bound: nothing goes
    EXPECT_TRUE(Contains(LogText(), u"line 212\r\n"));
}

std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(LogPane, ReportReplacesALongerFileAndUsesTheCodePage) {
    auto path = std::filesystem::temp_directory_path() / "qz_report_test.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(1000, 'x');
    }
    AppendLog(u"Caf\u00e9");
    AppendLog(u"\u4e2d");  // not in the code page
    Cli.ReportName = Text(path.u16string());
    SaveReport();
    EXPECT_EQ(ReadBytes(path), "Caf\xE9\r\n?");

    // Cancelling the dialog writes nothing.
    Cli.ReportName.clear();
    AppendLog(u"more");
    SaveReport();
    EXPECT_EQ(ReadBytes(path), "Caf\xE9\r\n?");
    std::filesystem::remove(path);

    // A report that cannot be written says so, and the pane keeps its text.
    Text missing = Text((path.parent_path() / "no-such-folder-qz" / "r.txt").u16string());
    Cli.ReportName = missing;
    ::testing::internal::CaptureStderr();
    SaveReport();
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("Save report: File write failed!!", 0),
              0u);
    EXPECT_EQ(LogText(), u"Caf\u00e9\r\n\u4e2d\r\nmore");
    Cli.ReportName.clear();
}

}  // namespace
