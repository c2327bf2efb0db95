// What one session shows: the front end it shows it through, the model of its window's
// controls and the content of its log. The control and log procedures (ui/controls.h,
// ui/log.h) work on one of these.
#pragma once

#include "source/text.h"
#include "ui/controls.h"
#include "ui/frontend.h"

// The log pane's content as the core appended it.
struct LogContent {
    Text All;                 // lines separated by "\r\n"
    int Lines = 0;            // lines appended since the last clear
    bool StreamLast = false;  // the board's output was appended last, and may go on on its line
};

struct View {
    explicit View(Frontend& front) : Front(front) {}
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Frontend& Front;
    Controls Window;
    LogContent Log;
};
