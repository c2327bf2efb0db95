#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/test_frontend.h"
#include "ui/log.h"
#include "ui/view.h"

namespace {

class LogPane : public ::testing::Test {
protected:
    TestFrontend front;
    View v{front};
};

TEST_F(LogPane, LineBreaksGoOnlyBetweenLines) {
    AppendLog(v, u"A");
    AppendLog(v, u"");
    AppendLog(v, u"B");
    EXPECT_EQ(LogText(v), u"A\r\n\r\nB");
    EXPECT_EQ(v.Log.Lines, 3);

    // An empty first line still counts: the next append starts on the second line.
    ClearLog(v);
    AppendLog(v, u"");
    AppendLog(v, u"A");
    EXPECT_EQ(LogText(v), u"\r\nA");

    // A text with its own line break shows as two lines.
    ClearLog(v);
    AppendLog(v, u"one\r\ntwo");
    EXPECT_EQ(LogText(v), u"one\r\ntwo");
}

// Board output joins its line across pieces, takes back what a backspace erases within its
// own line only, and sits between log lines on lines of its own.
TEST_F(LogPane, BoardOutputStreamsBetweenLogLines) {
    AppendLog(v, u"Connected");
    AppendLogStream(v, u"RUN\r");
    AppendLogStream(v, u"\nhel");
    AppendLogStream(v, u"lo\r\n> PRX\b");
    AppendLogStream(v, u"INX");
    AppendLogStream(v, u"\bT");
    EXPECT_EQ(LogText(v), u"Connected\r\nRUN\r\nhello\r\n> PRINT");
    AppendLog(v, u"went away");
    AppendLogStream(v, u"\b\bok\r\n");
    AppendLog(v, u"Disconnected.");
    EXPECT_EQ(LogText(v),
              u"Connected\r\nRUN\r\nhello\r\n> PRINT\r\nwent away\r\nok\r\nDisconnected.");
    EXPECT_EQ(v.Log.Lines, 7);
    EXPECT_EQ(front.Pane, LogText(v));  // the erased characters went from the pane as well
}

TEST_F(LogPane, TheScrollBackKeepsTheLastLines) {
    AppendLog(v, u"first");
    for (int i = 1; i <= 300; ++i)
        AppendLogStream(v, u"line " + DecimalText(i) + u"\r\n");
    KeepLastLogLines(v, 100);
    EXPECT_LE(v.Log.Lines, 100);
    EXPECT_GE(v.Log.Lines, 90);
    EXPECT_TRUE(StartsWith(LogText(v), u"line "));
    EXPECT_TRUE(Contains(LogText(v), u"line 300\r\n"));
    KeepLastLogLines(v, 100);  // within the bound: nothing goes
    EXPECT_TRUE(Contains(LogText(v), u"line 212\r\n"));
    EXPECT_EQ(front.Pane, LogText(v));
}

// Each view has a log of its own: what one session logs never shows in another's.
TEST_F(LogPane, ViewsShareNothing) {
    TestFrontend otherFront;
    View other{otherFront};
    AppendLogStream(v, u"> ");
    AppendLog(other, u"other");
    EXPECT_EQ(LogText(v), u"> ");
    EXPECT_EQ(LogText(other), u"other");
    EXPECT_EQ(otherFront.Pane, u"other");
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
    AppendLog(v, u"Caf\u00e9");
    AppendLog(v, u"\u4e2d");  // not in the code page
    front.ReportName = Text(path.u16string());
    SaveReport(v);
    EXPECT_EQ(ReadBytes(path), "Caf\xE9\r\n?");

    // Cancelling the dialog writes nothing.
    front.ReportName.clear();
    AppendLog(v, u"more");
    SaveReport(v);
    EXPECT_EQ(ReadBytes(path), "Caf\xE9\r\n?");
    std::filesystem::remove(path);

    // A report that cannot be written says so, and the pane keeps its text.
    Text missing = Text((path.parent_path() / "no-such-folder-qz" / "r.txt").u16string());
    front.ReportName = missing;
    SaveReport(v);
    ASSERT_EQ(front.MessageBoxes.size(), 1u);
    EXPECT_TRUE(StartsWith(front.MessageBoxes[0], u"Save report: File write failed!!"));
    EXPECT_EQ(LogText(v), u"Caf\u00e9\r\n\u4e2d\r\nmore");
}

}  // namespace
