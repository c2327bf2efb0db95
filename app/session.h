// One session: everything a connection to one board needs. What it shows (its front end,
// its window's controls, its log), its link (the serial port, the clock, the buffers) and
// the application state, the job's progress and its outcome. Every procedure of the core
// works on the session it is given; two sessions share nothing, so one process can hold a
// board each in as many as it likes.
#pragma once

#include "app/pump.h"
#include "app/state.h"
#include "app/upload.h"
#include "link/link.h"
#include "ui/view.h"

struct Session : View, Link {
    // The front end, the port and the clock outlive the session. Sets the link's hooks to
    // this session's log, progress label, pump and pumped waits.
    Session(Frontend& front, SerialPort& port, Clock& clock);

    AppState App;
    PumpState Pump;
    JobState Job;
    // True while a command runs (CommandRunning).
    bool Running = false;
    // The port and the rate the user named on the command line (KeepCommandLinePort).
    bool CommandLinePort = false;
    bool CommandLineBaud = false;
};
