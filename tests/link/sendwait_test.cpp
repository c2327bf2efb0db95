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
        ASSERT_TRUE(port->Open(PortName(), 38400));
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
        EXPECT_EQ(SendAndWait(link, u"?1\r\n", 150, kTestLineDelay), u"?1\r\n 1\r\n> ");
    }
    EXPECT_EQ(got, "?1\r\n");
    // An empty text sends nothing but still waits; the late bytes open its reply.
    int64_t start = clock.ElapsedMs();
    EXPECT_EQ(SendAndWait(link, u"", 100, kTestLineDelay), u"late");
    EXPECT_GE(clock.ElapsedMs() - start, 100);
    EXPECT_EQ(ReadFor(board.master, 30), "");
}

TEST_F(SendWait, AWaitOfZeroIsTheLineDelay) {
    int64_t start = clock.ElapsedMs();
    SendAndWait(link, u"x", 0, 150);
    EXPECT_GE(clock.ElapsedMs() - start, 150);
}

TEST_F(SendWait, ALineEndWaitStopsAtTheFirstPollThatBroughtALineFeed) {
    {
        auto b = Board(10, {{0, "10 PRINT\r"}, {70, "\n"}, {150, "tail>"}});
        Text reply = SendAndWait(link, u"10 PRINT\r\n", kWaitForLineEnd, kTestLineDelay);
        EXPECT_EQ(reply, u"10 PRINT\r\n");
    }
    EXPECT_EQ(SendAndWait(link, u"", 50, kTestLineDelay), u"tail>");
}

TEST_F(SendWait, APromptWaitStopsAtTheFirstPollThatBroughtThePrompt) {
    {
        // What comes well after the prompt is no part of the reply: the polls stopped.
        auto b = Board(5, {{0, "NEW\r\n"}, {100, "\r\n> "}, {300, "tail"}});
        EXPECT_EQ(SendAndWait(link, u"NEW\r\n", kWaitForPrompt, kTestLineDelay), u"NEW\r\n\r\n> ");
    }
    EXPECT_EQ(SendAndWait(link, u"", 50, kTestLineDelay), u"tail");
    // A zero byte is kept visible in its read; later reads still count.
    {
        auto b = Board(1, {{0, std::string("OK\0junk", 7)}, {60, ">"}});
        EXPECT_EQ(SendAndWait(link, u"x", kWaitForPrompt, kTestLineDelay), u"OK\\x00junk>");
    }
}

TEST_F(SendWait, TextGoesOutInTheCodePageAndWholeEvenPastTheBuffer) {
    {
        auto b = Board(4, {});
        SendAndWait(link, u"\u00e9\u4e2d\r\n", 20, kTestLineDelay);
    }
    EXPECT_EQ(got, "\xE9?\r\n");
    Text longLine(12000, u'q');
    longLine += u"\r\n";
    {
        auto b = Board(12002, {});
        SendAndWait(link, longLine, 100, kTestLineDelay);
    }
    EXPECT_EQ(got, std::string(12000, 'q') + "\r\n");
}

}  // namespace
