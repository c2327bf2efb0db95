// The pumped waits of a session, on the simulated clock.
#include <gtest/gtest.h>

#include "app/pump.h"
#include "app/session.h"
#include "link/clock_sim.h"
#include "link/serial_sim.h"
#include "tests/support/test_frontend.h"

namespace {

struct PumpedSession {
    TestFrontend Front;
    SimClock Clock;
    SimSerialPort Port{Clock};
    Session S{Front, Port, Clock};
};

// A wait lasts its whole time however its 20 ms steps round, lets the window repaint at every
// step, and a Cancel pressed meanwhile is kept for the job's next look, once; a new job
// starts without it.
TEST(Pump, WaitsLastTheirTimeAndKeepACancelForTheNextCheck) {
    PumpedSession p;
    for (int i = 0; i < 6; ++i) {
        int64_t start = p.Clock.ElapsedUs();
        long pumps = p.Front.Pumps;
        DelayPumping(p.S, 41);
        EXPECT_GE(p.Clock.ElapsedUs() - start, 41000);
        EXPECT_GE(p.Front.Pumps - pumps, 3);
    }
    bool press = true;
    p.Front.OnPump = [&press] { return std::exchange(press, false); };
    DelayPumping(p.S, 100);
    EXPECT_TRUE(PumpEvents(p.S));
    EXPECT_FALSE(PumpEvents(p.S));  // taken once

    press = true;
    DelayPumping(p.S, 100);
    ForgetCancel(p.S);
    EXPECT_FALSE(PumpEvents(p.S));
}

}  // namespace
