#include "frontends/cli/window_cli.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/pump.h"
#include "app/session.h"
#include "app/upload.h"
#include "frontends/cli/many_boards.h"
#include "frontends/cli/terminal.h"
#include "source/encoded.h"
#include "source/files.h"
#include "ui/log.h"

namespace {

// How often the process was interrupted (Ctrl-C) and told to stop (SIGTERM, SIGHUP, the
// console closing), set from a signal handler (POSIX) or the console's own thread
// (Windows). They count rather than flag, so that every front end of the process sees each
// one once, whichever of them pumps first; they are the only state the process shares.
std::atomic<unsigned> interrupts{0};
std::atomic<unsigned> stops{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "signal handlers set these");

}  // namespace

std::string ProgressLine(long done, long total, long long elapsedMs, int columns) {
    if (done > total) done = total;
    std::string count = std::to_string(done) + "/" + std::to_string(total);
    std::string percent = total > 0 ? " " + std::to_string(done * 100 / total) + "%" : "";
    std::string rate, left;
    if (elapsedMs >= 500 && done > 1) {
        double perSecond = done * 1000.0 / static_cast<double>(elapsedMs);
        char text[32];
        std::snprintf(text, sizeof text, " %.1f/s", perSecond);
        rate = text;
        long seconds = static_cast<long>((total - done) / perSecond + 0.5);
        std::snprintf(text, sizeof text, " %ld:%02ld left", seconds / 60, seconds % 60);
        left = text;
    }
    // Fewer characters than the terminal has columns: a full line would wrap at once.
    size_t room = columns > 1 ? static_cast<size_t>(columns - 1) : 0;
    std::string tail = " " + count + percent + rate + left;
    if (tail.size() + 12 > room) tail = " " + count + percent + rate;
    if (tail.size() + 12 > room) tail = " " + count + percent;
    if (tail.size() + 12 > room) return (" " + count).substr(1, room);
    size_t width = std::min<size_t>(30, room - tail.size() - 2);
    size_t filled = total > 0 ? width * static_cast<size_t>(done) / static_cast<size_t>(total) : 0;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]" + tail;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void RequestCancel() {
    interrupts.fetch_add(1);
}

void RequestStopNow() {
    stops.fetch_add(1);
}

// Draws the progress count as a bar on stderr; a label that is no count clears it. With
// --json it becomes a progress event instead.
void CliFrontend::DrawProgress(const Controls& model) {
    long done = model.ProgressDone;
    long total = model.ProgressTotal;
    bool count = total > 0;
    long long now = session_ ? session_->Time.ElapsedMs() : 0;
    if (done <= 1) progressStartMs_ = now;  // a job's first count starts the clock
    if (Cli.Json && Cli.LogOut && count) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "\"done\":%ld,\"total\":%ld}", done, total);
        Event("{\"event\":\"progress\"," + PortField() + numbers);
        return;
    }
    if (Cli.Printer) {
        if (count) Cli.Printer->Progress(Cli.Board, done, total, now - progressStartMs_);
        return;
    }
    if (!Cli.ShowProgressBar) return;
    if (!count) {
        EndProgressLine();
        return;
    }
    std::string line = ProgressLine(done, total, now - progressStartMs_, TerminalColumns(stderr));
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    barDrawn_ = true;
}

void CliFrontend::EndProgressLine() {
    if (barDrawn_) std::fputs("\r\033[K", stderr);
    barDrawn_ = false;
}

void CliFrontend::RenderControl(const Controls& model, ControlId id) {
    if (id == ControlId::ProgressLabel) DrawProgress(model);
}

void CliFrontend::RenderLogAppend(TextView piece) {
    if (!Cli.LogOut) return;
    // The pane's "\r\n" between lines becomes the terminal's own line end.
    Text t(piece);
    if (StartsWith(t, u"\r\n")) t.erase(0, 2);
    if (Cli.Json) {
        Event("{\"event\":\"log\"," + PortField() + "\"text\":" + JsonString(Utf8FromText(t)) +
              "}");
        return;
    }
    // Board output reaches the log: on a terminal its control characters are shown, not obeyed.
    std::string line = Utf8FromText(t);
    if (StreamIsTerminal(Cli.LogOut)) line = VisibleControls(line);
    if (Cli.Printer) {
        Cli.Printer->LogLine(Cli.Board, line);
        return;
    }
    EndProgressLine();  // keep the bar below the log: clear it, print, draw it again
    std::fwrite(line.data(), 1, line.size(), Cli.LogOut);
    std::fputc('\n', Cli.LogOut);
    std::fflush(Cli.LogOut);
    if (session_ && !TrimBlanks(session_->Window.ProgressLabel).empty())
        DrawProgress(session_->Window);
}

// The "port" member of a JSON event, with its comma; none for a single board.
std::string CliFrontend::PortField() const {
    return Cli.Printer ? "\"port\":" + JsonString(Cli.Port) + "," : std::string();
}

void CliFrontend::Event(const std::string& line) {
    if (Cli.Printer) {
        Cli.Printer->Event(line);
        return;
    }
    std::fprintf(Cli.LogOut, "%s\n", line.c_str());
    std::fflush(Cli.LogOut);
}

Text CliFrontend::LogPaneText() {
    return session_ ? LogText(*session_) : Text();
}

bool CliFrontend::DrainWindowEvents() {
    unsigned interrupted = interrupts.load();
    bool cancel = interrupted != seenInterrupts_;
    seenInterrupts_ = interrupted;
    unsigned stopped = stops.load();
    if (stopped != seenStops_) {
        seenStops_ = stopped;
        cancel = true;
        if (session_) RequestStop(*session_);
    }
    return cancel;
}

bool CliFrontend::InterruptUnseen() const {
    return interrupts.load() != seenInterrupts_ || stops.load() != seenStops_;
}

Text CliFrontend::AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) {
    if (Cli.PinGiven) return Cli.Pin;
    // Several boards cannot share one terminal's answer as they ask.
    if (Cli.Printer) {
        std::fprintf(stderr, "qz-upload: the board on %s asks for a PIN; give it with --pin\n",
                     VisibleControls(Cli.Port).c_str());
        return Text();
    }
    std::optional<Text> answer =
        AskOnTerminal(Utf8FromText(title) + ": " + Utf8FromText(prompt) + ": ",
                      Utf8FromText(defaultText), secret);
    if (!answer) {
        std::fprintf(stderr,
                     "qz-upload: the board asks for a PIN and there is no terminal to ask on; "
                     "give it with --pin\n");
        return Text();
    }
    // Ctrl-C while typing ends the read: what was typed so far is no answer.
    if (InterruptUnseen()) return Text();
    if (answer->empty()) {
        std::fprintf(stderr, "qz-upload: no PIN typed; the upload stops\n");
        return Text();
    }
    if (!IsPlausiblePin(*answer)) {
        std::fprintf(stderr, "qz-upload: a PIN is digits only, at most %zu; the upload stops\n",
                     kLongestPin);
        return Text();
    }
    return *answer;
}

// Why the encoded file may not be written at `name`; empty when it may. The program's own
// source is never overwritten with ciphertext, and a link is never written through.
std::string CliFrontend::SaveRefusal(const Text& name) const {
    namespace fs = std::filesystem;
    Text programPath = session_ ? session_->App.ProgramPath : Text();
    fs::path target(name), source(programPath);
    std::error_code ec;
    fs::file_status status = fs::symlink_status(target, ec);
    // A device (/dev/stdout, often reached through a link) takes the bytes; nothing is replaced.
    if (!fs::exists(status) || NamesDevice(name)) return std::string();
    std::string shown = Utf8FromText(name);
    if (!programPath.empty() && fs::equivalent(target, source, ec))
        return shown + " is the program's own source; give another output file.";
    if (fs::is_symlink(status)) return shown + " is a symbolic link; it is not followed.";
    if (!Cli.SaveMayReplace) return shown + " exists; give --force to replace it.";
    return std::string();
}

// The headless program saves no report; the encoded file goes where the caller said.
Text CliFrontend::AskSaveFileName(TextView title, TextView, TextView) {
    if (title == u"Save report" || Cli.SaveName.empty()) return Text();
    std::string refusal = SaveRefusal(EncodedFileName(Cli.SaveName));
    if (refusal.empty()) return Cli.SaveName;
    if (StreamIsTerminal(stderr)) refusal = VisibleControls(refusal);
    std::fprintf(stderr, "qz-upload: %s\n", refusal.c_str());
    return Text();  // as a cancelled dialog: nothing is written
}

void CliFrontend::ShowMessageBox(TextView caption, TextView text) {
    std::string line = Utf8FromText(caption) + ": " + Utf8FromText(text);
    if (StreamIsTerminal(stderr)) line = VisibleControls(line);
    std::fprintf(stderr, "%s\n", line.c_str());
}

Placement CliFrontend::CurrentWindowGeometry() {
    const AppState& app = session_ ? session_->App : AppState();
    return {app.MainX, app.MainY, app.MainW, app.MainH};
}
