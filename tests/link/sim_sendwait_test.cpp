#include <gtest/gtest.h>

#include "link/pacing.h"
#include "link/sendwait.h"
#include "tests/link/sim_link.h"

namespace {

class SimSendWait : public ::testing::Test {
protected:
    // How long an exchange kept the caller, in simulated ms.
    int64_t Took(TextView text, int wait, Text* reply) {
        int64_t start = sim.clock.ElapsedMs();
        *reply = SendAndWait(sim.link, text, wait, lineDelay);
        return sim.clock.ElapsedMs() - start;
    }

    SimLink sim{1000000};  // 10 us a byte: the waits dominate
    int lineDelay = 120;
};

TEST_F(SimSendWait, TheWaitsForLineEndAndPromptGiveUpAfter301And501Polls) {
    sim.line.OnWrite = [this](const std::string&) { sim.line.PeerSends("abc", 30); };
    Text reply;
    EXPECT_EQ(Took(u"x", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_EQ(reply, u"abc");
    EXPECT_EQ(Took(u"x", kWaitForPrompt, &reply), 501 * 20);
    EXPECT_EQ(reply, u"abc");
    EXPECT_EQ(Took(u"x", -7, &reply), 501 * 20);  // every value below -1 waits for ">"
}

TEST_F(SimSendWait, WithNoPortOpenEveryRuleStillWaitsItsFullTime) {
    sim.line.Close();
    lineDelay = 150;
    Text reply = u"?";
    EXPECT_EQ(Took(u"NEW\r\n", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_EQ(reply, u"");
    EXPECT_EQ(Took(u"NEW\r\n", kWaitForPrompt, &reply), 501 * 20);
    EXPECT_EQ(Took(u"", 1200, &reply), 1200);
    EXPECT_EQ(Took(u"x", 0, &reply), 150);
    EXPECT_EQ(reply, u"");
    EXPECT_TRUE(sim.line.Written.empty());
}

TEST_F(SimSendWait, ThePollsStopAtTheFirstOneThatBroughtTheirCharacter) {
    sim.line.OnWrite = [this](const std::string&) {
        sim.line.PeerSends("10 A=1\r", 5);
        sim.line.PeerSends("\n", 45);  // arrives before the third poll
        sim.line.PeerSends("more", 70);
    };
    Text reply;
    EXPECT_EQ(Took(u"10 A=1\r\n", kWaitForLineEnd, &reply), 60);
    EXPECT_EQ(reply, u"10 A=1\r\n");
    sim.line.OnWrite = nullptr;
    EXPECT_EQ(SendAndWait(sim.link, u"", 20, lineDelay), u"more");
}

// Every wait of an exchange goes through the link's Wait hook, which a window uses to
// repaint: the long fixed waits (2 s after RUN) and each 20 ms poll.
TEST_F(SimSendWait, EveryWaitGoesThroughTheWaitHook) {
    std::vector<int> waits;
    sim.link.Hooks.Wait = [this, &waits](int ms) {
        waits.push_back(ms);
        sim.clock.DelayMs(ms);
    };
    Text reply;
    EXPECT_EQ(Took(u"RUN\r\n", 2000, &reply), 2000);
    EXPECT_EQ(waits, std::vector<int>{2000});
    waits.clear();
    EXPECT_EQ(Took(u"x", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_EQ(waits, std::vector<int>(301, 20));
}

}  // namespace

// Fast mode against a board that echoes each character as it comes and each line end 1 ms
// later, and that rejects the line "too long".
class SimFastLines : public ::testing::Test {
protected:
    void SetUp() override {
        pacer.ByteTimeUs = 87;
        sim.line.OnWrite = [this](const std::string& bytes) { Hear(bytes); };
    }
    void Hear(const std::string& bytes) {
        // Nothing sent may leave more than the window unechoed.
        EXPECT_LE(written + static_cast<int64_t>(bytes.size()) - Arrived(), kAheadWindow);
        written += static_cast<int64_t>(bytes.size());
        for (char ch : bytes) {
            if (ch == '\n') continue;
            if (ch == '\b') {
                if (!typed.empty()) typed.pop_back();
            } else if (ch != '\r') {
                typed += ch;
                Echo(std::string(1, ch), 0);
            } else if (typed == "too long") {
                Echo("\r\nError: Line length\r\n> ", 1);
                typed.clear();
            } else {
                // A line end may only come once the line before was echoed whole.
                if (!echoedEnds.empty()) {
                    EXPECT_GE(sim.clock.ElapsedUs(), echoedEnds.back());
                }
                lines.push_back(typed);
                Echo("\r\n", 1);
                echoedEnds.push_back(echoes.back().first);
                typed.clear();
            }
        }
    }
    void Echo(const std::string& bytes, int afterMs) {
        sim.line.PeerSends(bytes, afterMs);
        echoes.push_back(
            {sim.clock.ElapsedUs() + afterMs * 1000LL, static_cast<int64_t>(bytes.size())});
    }
    int64_t Arrived() {
        int64_t n = 0;
        for (const auto& [at, size] : echoes)
            if (at <= sim.clock.ElapsedUs()) n += size;
        return n;
    }

    SimLink sim{115200};
    LinePacer pacer;
    EchoCheck check;
    int64_t written = 0;
    std::string typed;
    std::vector<std::string> lines;
    std::vector<int64_t> echoedEnds;  // when each line end's echo arrives, in us
    std::vector<std::pair<int64_t, int64_t>> echoes;
};

TEST_F(SimFastLines, EachLineEndWaitsForTheEchoBeforeItAndARejectedLineStopsTheRest) {
    const Text program[] = {u"x = 1 ' the first line, forty characters",
                            u"Print \"a line with a > and an Error\"", u"y = 2", u"too long",
                            u"Print \"never to run\""};
    int64_t start = sim.clock.ElapsedMs();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(SendLineFast(sim.link, program[i], i + 1, program[i + 1], check, pacer),
                  EchoVerdict::Echoed);
    // Three lines and the next one's start, at the wire's pace and one echo latency each.
    EXPECT_LE(sim.clock.ElapsedMs() - start, (written * 87) / 1000 + 3 * 2);
    EXPECT_EQ(lines, (std::vector<std::string>{Utf8FromText(program[0]), Utf8FromText(program[1]),
                                               "y = 2"}));
    EXPECT_EQ(SendLineFast(sim.link, program[3], 4, program[4], check, pacer), EchoVerdict::Error);
    WithdrawAhead(sim.link, pacer);
    // The last line's start went ahead but was rubbed out and never ended: it cannot run.
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(typed, "");
    EXPECT_TRUE(pacer.Ahead.empty());
    EXPECT_EQ(check.Unechoed, 0);
}
