// The headless front end's window layer: the log pane is the terminal, the PIN dialog reads
// the terminal without echo (or takes a PIN given in advance), the save dialog takes its
// file name from the caller, and Ctrl-C stands for the "Cancel" button.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "source/text.h"

struct CliWindowOptions {
    std::FILE* LogOut = stdout;    // where log lines go; nullptr keeps them silent
    bool ShowProgressBar = false;  // draw the progress label as a bar on stderr
    bool Json = false;             // log lines and progress as JSON events on LogOut
    bool PinGiven = false;         // a PIN was given in advance: answer with it
    Text Pin;
    Text SaveName;              // the answer of the "Encoded file" dialog (empty: cancel)
    Text ReportName;            // the answer of the "Save report" dialog
    Text Clipboard;             // what "Paste code" finds on the clipboard
    int CancelAfterPumps = -1;  // tests: report Cancel at this pump (counted from 1); -1 never
    // Tests: when the progress label reads this text, report Cancel at the pump that follows
    // `CancelPumpsLater` further pumps (0: the very next pump).
    Text CancelAtLabel;
    // Tests: every appended log item, in order.
    std::vector<Text>* RecordAppends = nullptr;
    int CancelPumpsLater = 0;
};

extern CliWindowOptions Cli;

// The progress line for `done` of `total` after `elapsedMs`: bar, count, percentage, rate
// and time left, in fewer than `columns` characters (parts are dropped to fit) so that it
// never wraps.
std::string ProgressLine(long done, long total, long long elapsedMs, int columns);
// `utf8` as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

// Asks the front end to report Cancel at the next pump (safe from a signal handler).
void RequestCancel();
// The number of event pumps run so far.
long PumpCount();
