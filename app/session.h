// One session: everything a connection to one board needs. What it shows (its front end,
// its window's controls, its log), its link (the serial port, the clock, the buffers) and
// the application state, the job's progress and its outcome. Every procedure of the core
// works on the session it is given; two sessions share nothing, so one process can hold a
// board each in as many as it likes.
#pragma once

#include "app/state.h"
#include "link/link.h"
#include "ui/view.h"

struct Session : View, Link {
    // The front end, the port and the clock outlive the session.
    Session(Frontend& front, SerialPort& port, Clock& clock);

    AppState App;
};
