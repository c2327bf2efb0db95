#include <unistd.h>

#include <thread>

#include "link/clock.h"
#include "link/sendwait.h"
#include "tests/link/link_support.h"

namespace {

class SendWait : public PtyLinkTest {
protected:
    void SetUp() override {
        PtyLinkTest::SetUp();
        ASSERT_TRUE(OpenPort(PortName(), 38400));
    }
    // The board's side of one exchange: wait for `heard` bytes, then send each reply after
    // its pause.
    std::jthread Board(size_t heard, std::vector<std::pair<int, std::string>> replies) {
        return std::jthread([this, heard, replies] {
            got = ReadCount(board.master, heard, 2000);
            for (const auto& [pauseMs, text] : replies) {
                usleep(static_cast<useconds_t>(pauseMs) * 1000);
                WriteAll(board.master, text);
            }
        });
    }
};

TEST_F(SendWait, AFixedWaitReturnsWhatCameInTimeAndLeavesTheRestQueued) {
    {
        auto b = Board(4, {{0, "?1\r\n 1\r\n> "}, {250, "late"}});
        EXPECT_EQ(SendAndWait(u"?1\r\n", 150, App.LineDelay, WindowLinkHooks()), u"?1\r\n 1\r\n> ");
    }
    EXPECT_EQ(got, "?1\r\n");
    // An empty text sends nothing but still waits; the late bytes open its reply.
    int64_t start = ElapsedMs();
    EXPECT_EQ(SendAndWait(u"", 100, App.LineDelay, WindowLinkHooks()), u"late");
    EXPECT_GE(ElapsedMs() - start, 100);
    EXPECT_EQ(ReadFor(board.master, 30), "");
}

TEST_F(SendWait, AWaitOfZeroIsTheLineDelay) {
    App.LineDelay = 150;
    int64_t start = ElapsedMs();
    SendAndWait(u"x", 0, App.LineDelay, WindowLinkHooks());
    int64_t took = ElapsedMs() - start;
    EXPECT_GE(took, 150);
    EXPECT_LT(took, 250);
}

TEST_F(SendWait, ALineEndWaitStopsAtTheFirstPollThatBroughtALineFeed) {
    {
        auto b = Board(10, {{0, "10 PRINT\r"}, {70, "\n"}, {150, "tail>"}});
        Text reply =
            SendAndWait(u"10 PRINT\r\n", kWaitForLineEnd, App.LineDelay, WindowLinkHooks());
        EXPECT_EQ(reply, u"10 PRINT\r\n");
    }
    EXPECT_EQ(SendAndWait(u"", 50, App.LineDelay, WindowLinkHooks()), u"tail>");
}

TEST_F(SendWait, APromptWaitStopsAtTheFirstPollThatBroughtThePrompt) {
    int64_t start = ElapsedMs();
    {
        auto b = Board(5, {{0, "NEW\r\n"}, {100, "\r\n> "}});
        EXPECT_EQ(SendAndWait(u"NEW\r\n", kWaitForPrompt, App.LineDelay, WindowLinkHooks()),
                  u"NEW\r\n\r\n> ");
    }
    EXPECT_LT(ElapsedMs() - start, 300);
    // A zero byte is kept visible in its read; later reads still count.
    {
        auto b = Board(1, {{0, std::string("OK\0junk", 7)}, {60, ">"}});
        EXPECT_EQ(SendAndWait(u"x", kWaitForPrompt, App.LineDelay, WindowLinkHooks()),
                  u"OK\\x00junk>");
    }
}

TEST_F(SendWait, TextGoesOutInTheCodePageAndWholeEvenPastTheBuffer) {
    {
        auto b = Board(4, {});
        SendAndWait(u"\u00e9\u4e2d\r\n", 20, App.LineDelay, WindowLinkHooks());
    }
    EXPECT_EQ(got, "\xE9?\r\n");
    Text longLine(12000, u'q');
    longLine += u"\r\n";
    {
        auto b = Board(12002, {});
        SendAndWait(longLine, 100, App.LineDelay, WindowLinkHooks());
    }
    EXPECT_EQ(got, std::string(12000, 'q') + "\r\n");
}

}  // namespace
