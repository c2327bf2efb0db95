// The window's console against the simulated board over a pseudo-terminal: a job hands the
// port on, typing and pasting reach the board, and a board that goes away is found again.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/console.h"
#include "app/state.h"
#include "link/clock.h"
#include "link/serial.h"
#include "tests/support/board_peer.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

class Console : public ::testing::Test {
protected:
    void SetUp() override {
        StartFreshCore();
        AllocateChannelBuffers();
        App.LineDelay = 100;
        work = FreshFolder("qz-console");
        link = (work / "port").string();
        board = StartBoard({"--link", link});
        App.Comport = TextFromUtf8(link);
        App.SerialSpeed = u"115200";
        Window.PortBox.Items = {App.Comport};
        Window.PortBox.Selected = 0;
        SelectByText(Window.BaudBox, u"115200");
    }
    void TearDown() override {
        console.SetOn(false);
        ClosePort();
        StopBoard(board);
        fs::remove_all(work);
    }
    // Polls as a window's event loop does until the log holds `text` (5 s at most).
    bool PollUntil(TextView text) {
        for (int64_t end = ElapsedMs() + 5000; ElapsedMs() < end; DelayMs(5)) {
            console.Poll();
            if (Contains(LogText(), text)) return true;
        }
        return false;
    }

    WindowConsole console;
    BoardPeer board;
    fs::path work;
    std::string link;
};

TEST_F(Console, AJobHandsThePortOnAndTheProgramIsTalkedTo) {
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"keys typed here go to the board")) << Utf8FromText(LogText());
    EXPECT_TRUE(console.TakesKeys());

    // The whole reply of RUN, far beyond one read, and then the program's question.
    fs::path program = work / "count.bas";
    std::ofstream(program) << "For i = 1 To 600\nPrint \"row \"; i\nNext\nInput \"Name\"; n$\n"
                              "Print \"hi \"; n$\n";
    console.RunJob([&] { OnFilesDropped(Text(program.u16string())); });
    EXPECT_EQ(LastJobOutcome(), JobOutcome::Completed);
    ASSERT_TRUE(PollUntil(u"Name? ")) << Utf8FromText(LogText());
    for (int i : {1, 299, 600})
        EXPECT_TRUE(Contains(LogText(), u"row " + DecimalText(i) + u"\r\n")) << i;
    EXPECT_FALSE(Contains(LogText(), u"Disconnected."));
    console.TypeText(u"Ada\r");
    ASSERT_TRUE(PollUntil(u"hi Ada")) << Utf8FromText(LogText());

    // Typed keys (a rubbed-out typo) and a paste, each line after the echo of the one before.
    console.TypeText(u"PRINT 6*8\b7\r");
    EXPECT_TRUE(PollUntil(u"> PRINT 6*7\r\n42\r\n")) << Utf8FromText(LogText());
    console.Paste(u"a = 5\r\nb = a * 3\nPRINT a + b\n");
    EXPECT_TRUE(PollUntil(u"\r\n20\r\n")) << Utf8FromText(LogText());

    console.SetOn(false);
    EXPECT_FALSE(IsPortOpen());
    EXPECT_TRUE(StartsWith(LogText().substr(LogText().size() - 13), u"Disconnected."));
}

TEST_F(Console, ABoardThatWentAwayIsFoundAgain) {
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"keys typed here go to the board"));
    StopBoard(board);
    ASSERT_TRUE(PollUntil(u"The board went away; waiting for it on " + App.Comport));
    EXPECT_FALSE(console.TakesKeys());
    board = StartBoard({"--link", link});
    ASSERT_TRUE(PollUntil(u"The board is back on " + App.Comport));
    console.TypeText(u"print 6 * 7\r");
    EXPECT_TRUE(PollUntil(u"print 6 * 7\r\n42\r\n")) << Utf8FromText(LogText());
}

// The firmware reset's rate is refused once, and the port is never opened at it.
TEST_F(Console, TheFirmwareResetRateIsNeverOpened) {
    App.SerialSpeed = u"1200";
    console.SetOn(true);
    ASSERT_TRUE(PollUntil(u"1200 baud is refused"));
    for (int i = 0; i < 20; ++i)
        console.Poll();
    EXPECT_FALSE(IsPortOpen());
    Text log = LogText();
    EXPECT_EQ(log.find(u"1200 baud is refused"), log.rfind(u"1200 baud is refused"));
}

}  // namespace
