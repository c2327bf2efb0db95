#include <gtest/gtest.h>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "link/clock.h"
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
