#include "frontends/cli/window_cli.h"

#include <csignal>
#include <cstdio>
#include <string>

#include "app/state.h"
#include "frontends/cli/terminal.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

CliWindowOptions Cli;

namespace {

volatile std::sig_atomic_t cancelRequested = 0;
long pumps = 0;
bool barDrawn = false;

// Draws " 10/25" as a bar on stderr; a label that is not "i/n" (empty, or an XMODEM
// count) clears it.
void DrawProgress(const Text& label) {
    if (!Cli.ShowProgressBar) return;
    std::string s = Utf8FromText(TrimBlanks(label));
    size_t slash = s.find('/');
    if (s.empty() || slash == std::string::npos) {
        if (barDrawn) std::fputs("\r\033[K", stderr);
        barDrawn = false;
        return;
    }
    long done = std::strtol(s.c_str(), nullptr, 10);
    long total = std::strtol(s.c_str() + slash + 1, nullptr, 10);
    const int width = 30;
    int filled = total > 0 ? static_cast<int>(width * (done > total ? total : done) / total) : 0;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %s", bar.c_str(), s.c_str());
    std::fflush(stderr);
    barDrawn = true;
}

}  // namespace

void RequestCancel() {
    cancelRequested = 1;
}

long PumpCount() {
    return pumps;
}

void RenderControl(ControlId id) {
    if (id != ControlId::ProgressLabel) return;
    DrawProgress(Window.ProgressLabel);
    if (!Cli.CancelAtLabel.empty() && Window.ProgressLabel == Cli.CancelAtLabel)
        Cli.CancelAfterPumps = static_cast<int>(pumps) + 1 + Cli.CancelPumpsLater;
}

void RenderLogAppend(TextView piece) {
    if (Cli.RecordAppends)
        Cli.RecordAppends->emplace_back(LogLineCount() > 1 ? piece.substr(2) : piece);
    if (!Cli.LogOut) return;
    if (barDrawn) {  // keep the bar below the log: clear it, print, draw it again
        std::fputs("\r\033[K", stderr);
        barDrawn = false;
    }
    // The pane's "\r\n" between lines becomes the terminal's own line end.
    Text t(piece);
    if (StartsWith(t, u"\r\n")) t.erase(0, 2);
    // Board output reaches the log: on a terminal its control characters are shown, not obeyed.
    std::string line = Utf8FromText(t);
    if (StreamIsTerminal(Cli.LogOut)) line = VisibleControls(line);
    std::fwrite(line.data(), 1, line.size(), Cli.LogOut);
    std::fputc('\n', Cli.LogOut);
    std::fflush(Cli.LogOut);
    if (!TrimBlanks(Window.ProgressLabel).empty()) DrawProgress(Window.ProgressLabel);
}

void RenderLogClear() {
    if (Cli.RecordAppends) Cli.RecordAppends->clear();
}

void RenderShowLogEnd() {}

Text LogPaneText() {
    return LogText();
}

bool DrainWindowEvents() {
    ++pumps;
    bool cancel = cancelRequested != 0;
    cancelRequested = 0;
    if (Cli.CancelAfterPumps > 0 && pumps == Cli.CancelAfterPumps) cancel = true;
    return cancel;
}

Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) {
    if (Cli.PinGiven) return Cli.Pin;
    return AskOnTerminal(Utf8FromText(title) + ": " + Utf8FromText(prompt) + ": ",
                         Utf8FromText(defaultText), secret);
}

Text AskSaveFileName(TextView title, TextView, TextView) {
    return title == u"Save report" ? Cli.ReportName : Cli.SaveName;
}

void ShowMessageBox(TextView caption, TextView text) {
    std::string line = Utf8FromText(caption) + ": " + Utf8FromText(text);
    if (StreamIsTerminal(stderr)) line = VisibleControls(line);
    std::fprintf(stderr, "%s\n", line.c_str());
}

Text ClipboardText() {
    return Cli.Clipboard;
}

Placement CurrentWindowGeometry() {
    return {App.MainX, App.MainY, App.MainW, App.MainH};
}
