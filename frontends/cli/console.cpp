#include "frontends/cli/console.h"

#include <cerrno>
#include <cstring>

#include "app/session.h"

namespace {

constexpr int kReconnectEveryMs = 250;

// A line of the console's own, on a line of its own: board output may have left the cursor
// mid-line, so it starts with a line end too (but the first, which follows the log).
void Notice(const ConsoleSettings& s, const std::string& line, bool first = false) {
    if (!s.Notices) return;
    std::fprintf(s.Notices, "%s[qz-upload: %s]\r\n", first ? "" : "\r\n", line.c_str());
    std::fflush(s.Notices);
}

// Shows and captures what has arrived. False when nothing was there.
bool ShowBoardOutput(Session& session, const ConsoleSettings& s) {
    uint8_t buffer[4096];
    int got = session.Port.ReadAvailable(buffer, sizeof buffer);
    if (got <= 0) return false;
    std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
    if (s.Capture && !std::ferror(s.Capture)) {
        bool written = std::fwrite(bytes.data(), 1, bytes.size(), s.Capture) == bytes.size() &&
                       std::fflush(s.Capture) == 0;
        // The stream's error flag stays set: nothing more is captured, and the caller
        // finds the capture incomplete.
        if (!written)
            Notice(s, "the capture file cannot be written (" + std::string(std::strerror(errno)) +
                          "); nothing more is captured");
    }
    std::string shown = ConsoleShows(bytes, s.ShowControlsEscaped);
    std::fwrite(shown.data(), 1, shown.size(), s.Out);
    std::fflush(s.Out);
    return true;
}

}  // namespace

bool RunConsole(Session& session, const ConsoleSettings& s) {
    std::string port = Utf8FromText(s.Port);
    if (!session.Port.IsOpen() && !session.Port.Open(s.Port, s.Baud)) return false;
    ConsoleTarget target = TargetOf(s.Port, s.Baud);
    bool raw = EnterRawKeyboard();
    Notice(s, "console on " + port + (raw ? "; Ctrl-] leaves" : ""), true);
    bool keyboardOpen = true;
    bool waiting = false;
    int64_t nextTry = 0;
    uint8_t keys[256];
    bool left = false;
    while (!ConsoleStopRequested() && !(left = s.Leave && s.Leave())) {
        if (!waiting && session.Port.Vanished()) {
            session.Port.Close();
            waiting = true;
            Notice(s, "the board went away; waiting for it on " + port +
                          (target.Identity.Serial.empty() ? ""
                                                          : " or any port with its USB identity"));
        }
        if (waiting && session.Time.ElapsedMs() >= nextTry) {
            nextTry = session.Time.ElapsedMs() + kReconnectEveryMs;
            Text again = ReopenTarget(session.Port, target);
            if (!again.empty()) {
                waiting = false;
                Notice(s, "the board is back on " + Utf8FromText(again) +
                              (again == s.Port ? std::string()
                                               : " (same USB serial number " +
                                                     Utf8FromText(target.Identity.Serial) + ")"));
            }
        }
        bool shown = !waiting && ShowBoardOutput(session, s);
        int typed = keyboardOpen ? ReadKeyboard(keys, sizeof keys, shown ? 0 : 10) : 0;
        if (typed < 0) {
            keyboardOpen = false;  // piped input ran out: keep showing until stopped
            continue;
        }
        if (!keyboardOpen && !shown) session.Time.DelayMs(10);
        bool quit = false;
        int send = 0;
        for (; send < typed; ++send)
            if (keys[send] == kConsoleQuitKey) {
                quit = true;
                break;
            }
        // A port that went away is said at the next turn; keys lost otherwise are said now.
        if (send > 0 && !waiting && session.Port.WriteBytes(keys, send) != send &&
            !session.Port.Vanished())
            Notice(s, "the board did not take all of the keys typed");
        if (quit) break;
    }
    if (session.Port.IsOpen()) ShowBoardOutput(session, s);
    LeaveRawKeyboard();
    if (!left) Notice(s, "console closed");
    return true;
}
