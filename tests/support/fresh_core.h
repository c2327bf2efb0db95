// A freshly started core for a test: one session over the test front end, the system's clock
// and a closed port of this platform, with the control model of a freshly opened window.
// A test fixture derives from it (or holds one) and works on `S`.
#pragma once

#include <memory>
#include <vector>

#include "app/session.h"
#include "app/window_model.h"
#include "link/clock.h"
#include "link/serial.h"
#include "tests/support/test_frontend.h"
#include "ui/log.h"

struct FreshCore {
    FreshCore() { BuildControls(S); }
    ~FreshCore() { S.Port.Close(); }
    FreshCore(const FreshCore&) = delete;
    FreshCore& operator=(const FreshCore&) = delete;

    // Keeps every piece appended to the log, without the line break before it, in `into`; a
    // cleared log empties it.
    void RecordAppends(std::vector<Text>* into) {
        Front.OnLogAppend = [this, into](TextView piece) {
            into->emplace_back(S.Log.Lines > 1 ? piece.substr(2) : piece);
        };
        Front.OnLogClear = [into] { into->clear(); };
    }

    // Once the progress label reads `label`, Cancel is pressed at the pump that follows
    // `pumpsLater` further pumps (0: the very next pump).
    void CancelAtLabel(Text label, int pumpsLater) {
        auto at = std::make_shared<long>(-1);
        Front.OnProgressLabel = [this, at, label, pumpsLater](TextView now) {
            if (now == label) *at = Front.Pumps + 1 + pumpsLater;
        };
        Front.OnPump = [this, at] { return Front.Pumps == *at; };
    }

    TestFrontend Front;
    SystemClock Clock;
    std::unique_ptr<SerialPort> Port = MakeSystemSerialPort();
    Session S{Front, *Port, Clock};
};
