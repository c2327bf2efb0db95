// An upload against a board that takes its time to save, on the simulated line and clock: a
// save of seconds still gets its RUN, a save that never came is no success, and the late
// second prompt of a command is never taken for the board leaving program entry.
#include <gtest/gtest.h>

#include "app/session.h"
#include "app/upload.h"
#include "app/window_model.h"
#include "link/clock_sim.h"
#include "link/serial_sim.h"
#include "tests/support/test_frontend.h"
#include "ui/log.h"

namespace {

const std::string kModes = "\x1b[?25h\x1b[97;40m";  // before a fresh prompt
const std::string kPrompt = "> \x1b[?7h";

// A board answering as the decorated-prompt firmware does: CR and LF are two commands at the
// prompt (the second prompt comes a moment later), one line end in program entry; Ctrl-Z
// saves after `SaveMs`, Ctrl-C abandons entry. Its answers come in pieces, cut after each
// line end and each "> ", as a console that sends characters as it makes them.
struct SlowSaver {
    explicit SlowSaver(SimSerialPort& port, SimClock& clock) : Port(&port), Time(&clock) {}
    SimSerialPort* Port;
    SimClock* Time;
    int SaveMs = 5000;
    bool InEntry = false;
    std::string Line;
    int64_t SavedAtMs = -1, RunAtMs = -1;

    void Hear(const std::string& bytes) {
        std::string out;
        int at = 0;  // each piece a millisecond after the one before
        auto flush = [&] {
            for (size_t cut; (cut = Cut(out)) != std::string::npos; out.erase(0, cut))
                Port->PeerSends(out.substr(0, cut), ++at);
            if (!out.empty()) Port->PeerSends(out, ++at);
            out.clear();
        };
        for (char c : bytes) {
            if (c == '\x03') {
                InEntry = false;
                Line.clear();
                out += kModes + "\r\n" + kPrompt;
            } else if (c == '\x1a' && InEntry) {
                InEntry = false;
                flush();
                at = SaveMs;
                SavedAtMs = Time->ElapsedMs() + SaveMs;
                out += "Saved 99 bytes\r\n" + kModes + kPrompt;
            } else if (c == '\r') {
                out += "\r\n";
                if (!InEntry) out += Answer();
                Line.clear();
            } else if (c == '\n' && !InEntry) {
                out += "\r\n" + kPrompt;
            } else if (c != '\n') {
                Line += c;
                out += c;
            }
        }
        flush();
    }
    static size_t Cut(const std::string& out) {
        size_t lf = out.find('\n'), prompt = out.find("> ");
        size_t cut = std::min(lf == std::string::npos ? lf : lf + 1,
                              prompt == std::string::npos ? prompt : prompt + 2);
        return cut == out.size() ? std::string::npos : cut;
    }
    std::string Answer() {
        if (Line == "AUTOSAVE") {
            InEntry = true;
            return "";
        }
        if (Line != "RUN") return kPrompt;
        RunAtMs = Time->ElapsedMs();
        return " 1\r\n" + kModes + kPrompt;
    }
};

class SlowSave : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        BuildControls(S);
        port.OnWrite = [this](const std::string& b) { board.Hear(b); };
        S.App.Comport = u"sim";
        S.App.SerialSpeed = u"115200";
        S.App.FastAlways = GetParam();
    }
    JobOutcome Upload(TextView device) {
        S.App.ProgramText = u"'onload " + Text(device) + u"\r\nPrint 1\r\nPrint 2\r\n";
        RunUploadJob(S);
        return LastJobOutcome(S);
    }
    bool Logged(TextView text) { return Contains(LogText(S), text); }
    TestFrontend front;
    SimClock clock;
    SimSerialPort port{clock};
    Session S{front, port, clock};
    SlowSaver board{port, clock};
};

TEST_P(SlowSave, ASlowSaveGetsItsRunAndAMissingSaveIsReported) {
    EXPECT_EQ(Upload(u"picomite"), JobOutcome::Completed);
    EXPECT_TRUE(Logged(u"Micromite upload completed"));
    ASSERT_GE(board.RunAtMs, 0);
    EXPECT_GE(board.RunAtMs, board.SavedAtMs);

    // Ctrl-C abandons entry on this board: the log says so, and nothing runs.
    board = SlowSaver(port, clock);
    ClearLog(S);
    EXPECT_EQ(Upload(u"picromite"), JobOutcome::BoardDidNotSave);
    EXPECT_TRUE(Logged(u"The board left program entry without saving the program: Ctrl-C"));
    EXPECT_FALSE(Logged(u"Micromite upload completed"));
    EXPECT_LT(board.RunAtMs, 0);

    // A save that does not come within the limit.
    board = SlowSaver(port, clock);
    board.SaveMs = 45000;
    ClearLog(S);
    int64_t start = clock.ElapsedMs();
    EXPECT_EQ(Upload(u"picomite"), JobOutcome::BoardDidNotSave);
    EXPECT_TRUE(Logged(u"The board did not confirm the save within 30 s"));
    EXPECT_LT(clock.ElapsedMs() - start, 33000);
    EXPECT_LT(board.RunAtMs, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, SlowSave, ::testing::Values(false, true),
                         [](const auto& mode) { return mode.param ? "Fast" : "Default"; });

}  // namespace
