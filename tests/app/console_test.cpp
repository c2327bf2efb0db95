// The window's console against the simulated board over a pseudo-terminal: a job hands the
// port on, typing and pasting reach the board, and a board that goes away is found again.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
#include "tests/support/board_peer.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

class Console : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override {
        S.App.LineDelay = 100;
        work = FreshFolder("qz-console");
        link = (work / "port").string();
        board = StartBoard({"--link", link});
        S.App.Comport = TextFromUtf8(link);
        S.App.SerialSpeed = u"115200";
        S.Window.PortBox.Items = {S.App.Comport};
        S.Window.PortBox.Selected = 0;
        SelectByText(S.Window.BaudBox, u"115200");
    }
    void TearDown() override {
        console.SetOn(false);
        S.Port.Close();
        StopBoard(board);
        fs::remove_all(work);
    }
    // Polls as a window's event loop does until the log holds `text` (5 s at most).
    bool PollUntil(TextView text) {
        for (int64_t end = Clock.ElapsedMs() + 5000; Clock.ElapsedMs() < end; Clock.DelayMs(5)) {
            console.Poll();
            if (Contains(LogText(S), text)) return true;
        }
        return false;
    }

    WindowConsole console{S};
    BoardPeer board;
    fs::path work;
    std::string link;
};

TEST_F(Console, AJobHandsThePortOnAndTheProgramIsTalkedTo) {
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"keys typed here go to the board")) << Utf8FromText(LogText(S));
    EXPECT_TRUE(console.TakesKeys());

    // The whole reply of RUN, far beyond one read, and then the program's question.
    fs::path program = work / "count.bas";
    std::ofstream(program) << "For i = 1 To 600\nPrint \"row \"; i\nNext\nInput \"Name\"; n$\n"
                              "Print \"hi \"; n$\n";
    console.RunJob([&] { OnFilesDropped(S, Text(program.u16string())); });
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    ASSERT_TRUE(PollUntil(u"Name? ")) << Utf8FromText(LogText(S));
    for (int i : {1, 299, 600})
        EXPECT_TRUE(Contains(LogText(S), u"row " + DecimalText(i) + u"\r\n")) << i;
    EXPECT_FALSE(Contains(LogText(S), u"Disconnected."));
    console.TypeText(u"Ada\r");
    ASSERT_TRUE(PollUntil(u"hi Ada")) << Utf8FromText(LogText(S));

    // Typed keys (a rubbed-out typo) and a paste, each line after the echo of the one before.
    console.TypeText(u"PRINT 6*8\b7\r");
    EXPECT_TRUE(PollUntil(u"> PRINT 6*7\r\n42\r\n")) << Utf8FromText(LogText(S));
    console.Paste(u"a = 5\r\nb = a * 3\nPRINT a + b\n");
    EXPECT_TRUE(PollUntil(u"\r\n20\r\n")) << Utf8FromText(LogText(S));

    console.SetOn(false);
    EXPECT_FALSE(S.Port.IsOpen());
    EXPECT_TRUE(StartsWith(LogText(S).substr(LogText(S).size() - 13), u"Disconnected."));
}

TEST_F(Console, ABoardThatWentAwayIsFoundAgain) {
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"keys typed here go to the board"));
    StopBoard(board);
    ASSERT_TRUE(PollUntil(u"The board went away; waiting for it on " + S.App.Comport));
    EXPECT_FALSE(console.TakesKeys());
    board = StartBoard({"--link", link});
    ASSERT_TRUE(PollUntil(u"The board is back on " + S.App.Comport));
    console.TypeText(u"print 6 * 7\r");
    EXPECT_TRUE(PollUntil(u"print 6 * 7\r\n42\r\n")) << Utf8FromText(LogText(S));
}

// The firmware reset's rate is refused once, and the port is never opened at it.
TEST_F(Console, TheFirmwareResetRateIsNeverOpened) {
    S.App.SerialSpeed = u"1200";
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"1200 baud is refused"));
    for (int i = 0; i < 20; ++i)
        console.Poll();
    EXPECT_FALSE(S.Port.IsOpen());
    Text log = LogText(S);
    EXPECT_EQ(log.find(u"1200 baud is refused"), log.rfind(u"1200 baud is refused"));
}

}  // namespace
