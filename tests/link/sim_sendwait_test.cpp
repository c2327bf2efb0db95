#include <gtest/gtest.h>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "link/clock.h"
#include "link/clock_sim.h"
#include "link/pacing.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "link/serial_sim.h"

namespace {

class SimSendWait : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ResetSimLine(1000000);  // 10 us a byte: the waits dominate
    }
    // How long an exchange kept the caller, in simulated ms.
    int64_t Took(TextView text, int wait, Text* reply) {
        int64_t start = ElapsedMs();
        *reply = SendAndWait(text, wait, App.LineDelay, WindowLinkHooks());
        return ElapsedMs() - start;
    }
};

TEST_F(SimSendWait, TheWaitsForLineEndAndPromptGiveUpAfter301And501Polls) {
    Sim.OnWrite = [](const std::string&) { PeerSends("abc", 30); };
    Text reply;
    EXPECT_EQ(Took(u"x", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_EQ(reply, u"abc");
    EXPECT_EQ(Took(u"x", kWaitForPrompt, &reply), 501 * 20);
    EXPECT_EQ(reply, u"abc");
    EXPECT_EQ(Took(u"x", -7, &reply), 501 * 20);  // every value below -1 waits for ">"
}

TEST_F(SimSendWait, WithNoPortOpenEveryRuleStillWaitsItsFullTime) {
    ClosePort();
    App.LineDelay = 150;
    Text reply = u"?";
    EXPECT_EQ(Took(u"NEW\r\n", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_EQ(reply, u"");
    EXPECT_EQ(Took(u"NEW\r\n", kWaitForPrompt, &reply), 501 * 20);
    EXPECT_EQ(Took(u"", 1200, &reply), 1200);
    EXPECT_EQ(Took(u"x", 0, &reply), 150);
    EXPECT_EQ(reply, u"");
    EXPECT_TRUE(Sim.Written.empty());
}

TEST_F(SimSendWait, ThePollsStopAtTheFirstOneThatBroughtTheirCharacter) {
    Sim.OnWrite = [](const std::string&) {
        PeerSends("10 A=1\r", 5);
        PeerSends("\n", 45);  // arrives before the third poll
        PeerSends("more", 70);
    };
    Text reply;
    EXPECT_EQ(Took(u"10 A=1\r\n", kWaitForLineEnd, &reply), 60);
    EXPECT_EQ(reply, u"10 A=1\r\n");
    Sim.OnWrite = nullptr;
    EXPECT_EQ(SendAndWait(u"", 20, App.LineDelay, WindowLinkHooks()), u"more");
}

// The window must repaint during the long fixed waits (2 s after RUN) and the polls, and
// a Cancel pressed then must still reach the job's next check instead of being lost.
TEST_F(SimSendWait, LongWaitsLetTheWindowRepaintAndKeepACancelForTheNextCheck) {
    PumpEvents();
    long before = PumpCount();
    Text reply;
    EXPECT_EQ(Took(u"RUN\r\n", 2000, &reply), 2000);
    EXPECT_GE(PumpCount() - before, 100);  // at least every 20 ms

    before = PumpCount();
    EXPECT_EQ(Took(u"x", kWaitForLineEnd, &reply), 301 * 20);
    EXPECT_GE(PumpCount() - before, 301);

    Sim.OnWrite = [](const std::string&) { RequestCancel(); };
    Took(u"10 PRINT\r\n", 500, &reply);
    EXPECT_TRUE(PumpEvents());
    EXPECT_FALSE(PumpEvents());  // taken once

    Took(u"20 PRINT\r\n", 500, &reply);
    ForgetCancel();  // a new job starts without it
    EXPECT_FALSE(PumpEvents());
}

}  // namespace

// Fast mode against a board that echoes each character as it comes and each line end 1 ms
// later, and that rejects the line "too long".
class SimFastLines : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ResetSimLine(115200);
        pacer.ByteTimeUs = 87;
        Sim.OnWrite = [this](const std::string& bytes) { Hear(bytes); };
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
                    EXPECT_GE(SimClockUs(), echoedEnds.back());
                }
                lines.push_back(typed);
                Echo("\r\n", 1);
                echoedEnds.push_back(echoes.back().first);
                typed.clear();
            }
        }
    }
    void Echo(const std::string& bytes, int afterMs) {
        PeerSends(bytes, afterMs);
        echoes.push_back({SimClockUs() + afterMs * 1000LL, static_cast<int64_t>(bytes.size())});
    }
    int64_t Arrived() const {
        int64_t n = 0;
        for (const auto& [at, size] : echoes)
            if (at <= SimClockUs()) n += size;
        return n;
    }

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
    int64_t start = ElapsedMs();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(SendLineFast(program[i], i + 1, program[i + 1], check, pacer, WindowLinkHooks()),
                  EchoVerdict::Echoed);
    // Three lines and the next one's start, at the wire's pace and one echo latency each.
    EXPECT_LE(ElapsedMs() - start, (written * 87) / 1000 + 3 * 2);
    EXPECT_EQ(lines, (std::vector<std::string>{Utf8FromText(program[0]), Utf8FromText(program[1]),
                                               "y = 2"}));
    EXPECT_EQ(SendLineFast(program[3], 4, program[4], check, pacer, WindowLinkHooks()),
              EchoVerdict::Error);
    WithdrawAhead(pacer);
    // The last line's start went ahead but was rubbed out and never ended: it cannot run.
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(typed, "");
    EXPECT_TRUE(pacer.Ahead.empty());
    EXPECT_EQ(check.Unechoed, 0);
}
