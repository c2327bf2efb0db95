// The headless front end's window layer: the log pane is the terminal, the PIN dialog reads
// the terminal without echo (or takes a PIN given in advance), the save dialog takes its
// file name from the caller, and Ctrl-C stands for the "Cancel" button.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "source/text.h"

struct CliWindowOptions {
    std::FILE* LogOut = stdout;    // where log lines go; nullptr keeps them silent
    bool ShowProgressBar = false;  // draw the progress label as a bar on stderr
    bool Json = false;             // log lines and progress as JSON events on LogOut
    bool PinGiven = false;         // a PIN was given in advance: answer with it
    Text Pin;
    Text SaveName;  // the answer of the "Encoded file" dialog (empty: cancel)
    // The answer may name an existing file (never a link or the source).
    bool SaveMayReplace = true;
    Text ReportName;  // the answer of the "Save report" dialog
    Text Clipboard;   // what "Paste code" finds on the clipboard
};

extern CliWindowOptions Cli;

// The progress line for `done` of `total` after `elapsedMs`: bar, count, percentage, rate
// and time left, in fewer than `columns` characters (parts are dropped to fit) so that it
// never wraps.
std::string ProgressLine(long done, long total, long long elapsedMs, int columns);
// `utf8` as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

// For a program that drives this layer itself (the tests): each hook that is set is called
// when the named thing happens.
struct CliWindowHooks {
    std::function<void(TextView)> OnProgressLabel;  // the progress label now reads this
    std::function<void(TextView)> OnLogAppend;      // this piece went to the end of the log
    std::function<void()> OnLogClear;               // the log was cleared
    std::function<bool()> OnPump;                   // an event pump ran; true: Cancel pressed
};

extern CliWindowHooks CliHooks;

// Asks the front end to report Cancel at the next pump (safe from a signal handler).
void RequestCancel();
// Asks for a stop at once (the terminal is closing, or the program is told to end): the job
// ends as on a second Ctrl-C, with Ctrl-C to the board. Safe from a signal handler.
void RequestStopNow();
// Clears a progress line still drawn on the terminal, so that what follows starts a line.
void EndProgressLine();
// The number of event pumps run so far.
long PumpCount();
