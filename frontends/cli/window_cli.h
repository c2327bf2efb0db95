// The headless front end: the log pane is the terminal, the PIN dialog reads the terminal
// without echo (or takes a PIN given in advance), the save dialog takes its file name from
// the caller, and Ctrl-C stands for the "Cancel" button. One CliFrontend shows one session.
#pragma once

#include <cstdio>
#include <string>

#include "source/text.h"
#include "ui/frontend.h"

class BoardPrinter;
struct Session;

struct CliWindowOptions {
    std::FILE* LogOut = stdout;    // where log lines go; nullptr keeps them silent
    bool ShowProgressBar = false;  // draw the progress as a bar on stderr
    bool Json = false;             // log lines and progress as JSON events on LogOut
    bool PinGiven = false;         // a PIN was given in advance: answer with it
    Text Pin;
    Text SaveName;  // the answer of the "Encoded file" dialog (empty: cancel)
    // The answer may name an existing file (never a link or the source).
    bool SaveMayReplace = true;
    // One of several boards: log lines, progress and JSON events go through the printer the
    // boards share, as board `Board` of it, and JSON events carry `Port`.
    BoardPrinter* Printer = nullptr;
    size_t Board = 0;
    std::string Port;
};

class CliFrontend final : public Frontend {
public:
    explicit CliFrontend(CliWindowOptions options = {}) : Cli(std::move(options)) {}
    CliFrontend(const CliFrontend&) = delete;
    CliFrontend& operator=(const CliFrontend&) = delete;

    // The session this front end shows: its program path decides what a save may replace,
    // its state holds the window's geometry, its clock times the progress, and Ctrl-C stops
    // it. Set once the session is made, before its first job.
    void Attach(Session& session) { session_ = &session; }
    // Clears a progress bar still drawn on the terminal, so that what follows starts a line.
    void EndProgressLine();

    CliWindowOptions Cli;

    void RenderControl(const Controls& model, ControlId id) override;
    void RenderLogAppend(TextView piece) override;
    void RenderLogClear() override {}
    // The terminal's lines are printed for good: nothing of them can be taken back.
    void RenderLogEraseEnd(int) override {}
    void RenderLogDropFirstLines(int) override {}
    void RenderShowLogEnd() override {}
    Text LogPaneText() override;
    bool DrainWindowEvents() override;
    Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) override;
    Text AskSaveFileName(TextView title, TextView filter, TextView folder) override;
    void ShowMessageBox(TextView caption, TextView text) override;
    // The terminal has no clipboard: "Paste code" finds nothing.
    Text ClipboardText() override { return Text(); }
    Placement CurrentWindowGeometry() override;

private:
    void DrawProgress(const Controls& model);
    bool InterruptUnseen() const;
    std::string SaveRefusal(const Text& name) const;
    std::string PortField() const;
    // A JSON event, one line.
    void Event(const std::string& line);

    Session* session_ = nullptr;
    // The process's interrupt and stop counts this front end has acted on.
    unsigned seenInterrupts_ = 0;
    unsigned seenStops_ = 0;
    bool barDrawn_ = false;
    long long progressStartMs_ = 0;
};

// The progress line for `done` of `total` after `elapsedMs`: bar, count, percentage, rate
// and time left, in fewer than `columns` characters (parts are dropped to fit) so that it
// never wraps.
std::string ProgressLine(long done, long total, long long elapsedMs, int columns);
// `utf8` as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

// Ctrl-C at the terminal: every front end reports Cancel at its next pump. Safe from a
// signal handler or another thread.
void RequestCancel();
// A stop at once (the terminal is closing, or the program is told to end): every front end
// reports Cancel and stops its session's job as on a second Ctrl-C, with Ctrl-C to the
// board. Safe from a signal handler or another thread.
void RequestStopNow();
