#include "app/session.h"

#include "ui/controls.h"
#include "ui/log.h"

Session::Session(Frontend& front, SerialPort& port, Clock& clock) : View(front), Link(port, clock) {
    Hooks = LinkHooks{
        [this](TextView line) { AppendLog(*this, line); },
        [this](TextView text, long done, long total) {
            SetProgressLabel(*this, text, done, total);
        },
        [this] { return PumpEvents(*this); },
        [this](int ms) { DelayPumping(*this, ms); },
        [this](int ms) { return AwaitInputPumping(*this, ms); },
        [this] { return StopRequested(*this); },
    };
}
