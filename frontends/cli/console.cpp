#include "frontends/cli/console.h"

#include "link/clock.h"
#include "link/serial.h"
#include "settings/ports.h"

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
bool ShowBoardOutput(const ConsoleSettings& s) {
    uint8_t buffer[4096];
    int got = ReadAvailable(buffer, sizeof buffer);
    if (got <= 0) return false;
    std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
    if (s.Capture) {
        std::fwrite(bytes.data(), 1, bytes.size(), s.Capture);
        std::fflush(s.Capture);
    }
    std::string shown = ConsoleShows(bytes, s.ShowControlsEscaped);
    std::fwrite(shown.data(), 1, shown.size(), s.Out);
    std::fflush(s.Out);
    return true;
}

// The USB identity of the port the console was started on, when it has a serial number:
// a board that comes back under another name (ttyACM1 instead of ttyACM0) is still found.
PortIdentity IdentityOf(TextView port) {
    Text path = DevicePathOf(port);
    for (const PortIdentity& p : ListSerialPortIdentities())
        if (!p.Serial.empty() && (p.Path == path || p.StableName == path)) return p;
    return {};
}

// A present port with the same USB identity; empty when there is none.
Text PortWithIdentity(const PortIdentity& wanted) {
    if (wanted.Serial.empty()) return {};
    for (const PortIdentity& p : ListSerialPortIdentities())
        if (p.VendorId == wanted.VendorId && p.ProductId == wanted.ProductId &&
            p.Serial == wanted.Serial)
            return p.Path;
    return {};
}

}  // namespace

std::string ConsoleShows(const std::string& bytes, bool escapeControls) {
    std::string utf8 = Utf8FromText(TextFromAnsi(bytes));
    if (!escapeControls) return utf8;
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= utf8.size(); ++i) {
        if (i < utf8.size() && utf8[i] != '\b') continue;
        out += VisibleControls(std::string_view(utf8).substr(start, i - start));
        if (i < utf8.size()) out += '\b';
        start = i + 1;
    }
    return out;
}

bool RunConsole(const ConsoleSettings& s) {
    std::string port = Utf8FromText(s.Port);
    if (!IsPortOpen() && !OpenPort(s.Port, s.Baud)) return false;
    PortIdentity identity = IdentityOf(s.Port);
    bool raw = EnterRawKeyboard();
    Notice(s, "console on " + port + (raw ? "; Ctrl-] leaves" : ""), true);
    bool keyboardOpen = true;
    bool waiting = false;
    int64_t nextTry = 0;
    uint8_t keys[256];
    while (!ConsoleStopRequested()) {
        if (!waiting && PortVanished()) {
            ClosePort();
            waiting = true;
            Notice(s, "the board went away; waiting for it on " + port +
                          (identity.Serial.empty() ? "" : " or any port with its USB identity"));
        }
        if (waiting && ElapsedMs() >= nextTry) {
            nextTry = ElapsedMs() + kReconnectEveryMs;
            Text again = PortWithIdentity(identity);
            if (OpenPort(s.Port, s.Baud)) {
                waiting = false;
                Notice(s, "the board is back on " + port);
            } else if (!again.empty() && OpenPort(again, s.Baud)) {
                waiting = false;
                Notice(s, "the board is back on " + Utf8FromText(again) +
                              " (same USB serial number " + Utf8FromText(identity.Serial) + ")");
            }
        }
        bool shown = !waiting && ShowBoardOutput(s);
        int typed = keyboardOpen ? ReadKeyboard(keys, sizeof keys, shown ? 0 : 10) : 0;
        if (typed < 0) {
            keyboardOpen = false;  // piped input ran out: keep showing until stopped
            continue;
        }
        if (!keyboardOpen && !shown) DelayMs(10);
        bool quit = false;
        int send = 0;
        for (; send < typed; ++send)
            if (keys[send] == kConsoleQuitKey) {
                quit = true;
                break;
            }
        if (send > 0 && !waiting) WriteBytes(keys, send);
        if (quit) break;
    }
    if (IsPortOpen()) ShowBoardOutput(s);
    LeaveRawKeyboard();
    Notice(s, "console closed");
    return true;
}
