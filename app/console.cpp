#include "app/console.h"

#include "app/commands.h"
#include "app/connect.h"
#include "app/pump.h"
#include "app/session.h"
#include "app/upload.h"
#include "ui/log.h"

namespace {

constexpr int kReconnectEveryMs = 250;
// What one Poll shows at most, so that a board printing flat out cannot hold the window.
constexpr int kMostBytesPerPoll = 16384;
// How long one Poll goes on reading: a board printing slower than the reads take (115200
// baud, and reads that cost milliseconds each) would otherwise keep it reading until the
// byte bound, over a second.
constexpr int kMostReadMsPerPoll = 20;
// A pasted line whose echo does not come (a program that reads keys without echoing them)
// holds the next one back this long.
constexpr int kPasteEchoWaitMs = 1000;

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

ConsoleTarget TargetOf(TextView port, long long baud) {
    ConsoleTarget target{Text(port), baud, {}};
    // Only a port with a serial number can be recognised under another name.
    Text path = DevicePathOf(port);
    for (const PortIdentity& p : ListSerialPortIdentities())
        if (!p.Serial.empty() && (p.Path == path || p.StableName == path)) {
            target.Identity = p;
            break;
        }
    return target;
}

Text ReopenTarget(SerialPort& port, const ConsoleTarget& target) {
    if (port.Open(target.Port, target.Baud)) return target.Port;
    const PortIdentity& wanted = target.Identity;
    if (wanted.Serial.empty()) return Text();
    for (const PortIdentity& p : ListSerialPortIdentities())
        if (p.VendorId == wanted.VendorId && p.ProductId == wanted.ProductId &&
            p.Serial == wanted.Serial && port.Open(p.Path, target.Baud))
            return p.Path;
    return Text();
}

std::string ConsoleKeyBytes(ConsoleKey key) {
    switch (key) {
        case ConsoleKey::Up:
            return "\x1b[A";
        case ConsoleKey::Down:
            return "\x1b[B";
        case ConsoleKey::Right:
            return "\x1b[C";
        case ConsoleKey::Left:
            return "\x1b[D";
        case ConsoleKey::Home:
            return "\x1b[1~";
        case ConsoleKey::Insert:
            return "\x1b[2~";
        case ConsoleKey::Delete:
            return "\x1b[3~";
        case ConsoleKey::End:
            return "\x1b[4~";
        case ConsoleKey::PageUp:
            return "\x1b[5~";
        case ConsoleKey::PageDown:
            return "\x1b[6~";
        case ConsoleKey::F1:
            return "\x1bOP";
        case ConsoleKey::F2:
            return "\x1bOQ";
        case ConsoleKey::F3:
            return "\x1bOR";
        case ConsoleKey::F4:
            return "\x1bOS";
        case ConsoleKey::F5:
            return "\x1b[15~";
        case ConsoleKey::F6:
            return "\x1b[17~";
        case ConsoleKey::F7:
            return "\x1b[18~";
        case ConsoleKey::F8:
            return "\x1b[19~";
        case ConsoleKey::F9:
            return "\x1b[20~";
        case ConsoleKey::F10:
            return "\x1b[21~";
        case ConsoleKey::F11:
            return "\x1b[23~";
        case ConsoleKey::F12:
            return "\x1b[24~";
    }
    return std::string();
}

WindowConsole::~WindowConsole() {
    if (state_ == State::Connected) s_.Port.Close();
}

bool WindowConsole::On() const {
    return s_.App.StayConnected != 0;
}

void WindowConsole::SetOn(bool on) {
    s_.App.StayConnected = on ? 1 : 0;
    openDue_ = on;
    if (!on && state_ != State::Closed) {
        Close();
        AppendLog(s_, u"Disconnected.");
        ShowLogEnd(s_);
    }
}

bool WindowConsole::TakesKeys() const {
    return On() && state_ == State::Connected && !inJob_;
}

void WindowConsole::RunJob(const std::function<void()>& command) {
    if (!On() || inJob_ || CommandRunning(s_)) {
        command();
        return;
    }
    // The job opens the port itself and says so, as it always does.
    Close();
    inJob_ = true;
    KeepPortAfterJob(s_, true);
    s_.App.RunReplyToConsole = true;
    command();
    s_.App.RunReplyToConsole = false;
    KeepPortAfterJob(s_, false);
    inJob_ = false;
    // The port the job left open is the console's now; a job that opened none (nothing to
    // load, a port that would not open) leaves the console to open its own.
    chosenPort_ = s_.App.Comport;
    chosenSpeed_ = s_.App.SerialSpeed;
    target_ = TargetOf(s_.App.Comport, LeadingNumber(s_.App.SerialSpeed));
    state_ = s_.Port.IsOpen() ? State::Connected : State::Closed;
    openDue_ = state_ == State::Closed;
}

void WindowConsole::Open() {
    chosenPort_ = s_.App.Comport;
    chosenSpeed_ = s_.App.SerialSpeed;
    if (s_.App.Comport == kNotSet || s_.App.Comport.empty()) {
        AppendLog(s_, u"Stay connected: choose the board's serial port");
        ShowLogEnd(s_);
        return;
    }
    // Opening at the firmware reset's rate would reboot the board into its drive.
    if (FirmwareBaudChosen(s_)) {
        ShowLogEnd(s_);
        return;
    }
    target_ = TargetOf(s_.App.Comport, LeadingNumber(s_.App.SerialSpeed));
    if (s_.Port.Open(target_.Port, target_.Baud)) {
        state_ = State::Connected;
        AppendLog(s_, u"Stay connected: console on " + target_.Port + u" at " + s_.App.SerialSpeed +
                          u"; keys typed here go to the board");
    } else {
        AppendLog(s_, s_.Port.LastOpenFailureReason());
        AppendLog(s_, u"Waiting for the board on " + target_.Port);
        state_ = State::Waiting;
        nextTry_ = s_.Time.ElapsedMs() + kReconnectEveryMs;
    }
    ShowLogEnd(s_);
}

void WindowConsole::Close() {
    s_.Port.Close();
    state_ = State::Closed;
    paste_.clear();
    pasteAwaiting_ = false;
}

void WindowConsole::WentAway() {
    Close();
    state_ = State::Waiting;
    nextTry_ = s_.Time.ElapsedMs() + kReconnectEveryMs;
    AppendLog(s_,
              u"The board went away; waiting for it on " + target_.Port +
                  (target_.Identity.Serial.empty() ? u"" : u" or any port with its USB identity"));
    ShowLogEnd(s_);
}

bool WindowConsole::Poll() {
    if (!On() || inJob_ || CommandRunning(s_)) return false;
    // Switched on, or a new port or rate chosen in the boxes: the console (re)opens.
    if (openDue_ || chosenPort_ != s_.App.Comport || chosenSpeed_ != s_.App.SerialSpeed) {
        openDue_ = false;
        Close();
        Open();
        return true;
    }
    if (state_ == State::Waiting) {
        if (s_.Time.ElapsedMs() < nextTry_) return false;
        nextTry_ = s_.Time.ElapsedMs() + kReconnectEveryMs;
        Text back = ReopenTarget(s_.Port, target_);
        if (back.empty()) return false;
        state_ = State::Connected;
        AppendLog(s_, u"The board is back on " + back +
                          (back == target_.Port
                               ? Text()
                               : u" (same USB serial number " + target_.Identity.Serial + u")"));
        ShowLogEnd(s_);
        return true;
    }
    if (state_ != State::Connected) return false;
    std::string arrived;
    uint8_t buffer[4096];
    int64_t readUntil = s_.Time.ElapsedMs() + kMostReadMsPerPoll;
    while (arrived.size() < kMostBytesPerPoll && s_.Time.ElapsedMs() < readUntil) {
        int got = s_.Port.ReadAvailable(buffer, sizeof buffer);
        if (got <= 0) break;
        arrived.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
    }
    if (!arrived.empty()) ShowArrived(arrived);
    if (pasteAwaiting_ && s_.Time.ElapsedMs() > pasteDeadline_) SendNextPasteLine();
    if (arrived.empty() && s_.Port.Vanished()) WentAway();
    return !arrived.empty();
}

void WindowConsole::ShowArrived(const std::string& bytes) {
    AppendLogStream(s_, TextFromUtf8(ConsoleShows(bytes, true)));
    KeepLastLogLines(s_, kConsoleScrollBackLines);
    ShowLogEnd(s_);
    if (pasteAwaiting_ && FeedEcho(pasteEcho_, TextFromAnsi(bytes)) != EchoVerdict::Waiting)
        SendNextPasteLine();
}

void WindowConsole::Send(const std::string& bytes) {
    if (state_ != State::Connected || bytes.empty()) return;
    int written = s_.Port.WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
    if (written == static_cast<int>(bytes.size())) return;
    // A write the system refused or cut short: the board did not get what was typed.
    if (s_.Port.Vanished()) return WentAway();
    AppendLog(s_, u"Not sent to the board: the port took " +
                      DecimalText(written < 0 ? 0 : written) + u" of " +
                      DecimalText(static_cast<long long>(bytes.size())) + u" bytes");
    ShowLogEnd(s_);
}

void WindowConsole::TypeText(TextView text) {
    Send(AnsiFromText(text));
}

void WindowConsole::TypeKey(ConsoleKey key) {
    Send(ConsoleKeyBytes(key));
}

void WindowConsole::Paste(TextView text) {
    if (state_ != State::Connected) return;
    // LF ends a line, which goes as Enter (CR); CR is dropped. A last line without a line
    // end is typed but not entered.
    size_t start = 0;
    for (size_t at = 0; at <= text.size(); ++at) {
        if (at < text.size() && text[at] != u'\n') continue;
        Text line;
        for (char16_t c : text.substr(start, at - start))
            if (c != u'\r') line += c;
        if (at < text.size() || !line.empty()) paste_.push_back({line, at < text.size()});
        start = at + 1;
    }
    if (!pasteAwaiting_) SendNextPasteLine();
}

void WindowConsole::SendNextPasteLine() {
    pasteAwaiting_ = false;
    if (paste_.empty()) return;
    PasteLine next = paste_.front();
    paste_.pop_front();
    Send(AnsiFromText(next.Line) + (next.Entered ? "\r" : ""));
    if (!next.Entered) return SendNextPasteLine();
    pasteEcho_ = EchoCheck();
    ExpectEcho(pasteEcho_, next.Line, ++pasteNumber_);
    pasteAwaiting_ = true;
    pasteDeadline_ = s_.Time.ElapsedMs() + kPasteEchoWaitMs;
}
