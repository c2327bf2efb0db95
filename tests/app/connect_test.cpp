#include <termios.h>

#include <gtest/gtest.h>

#include "app/connect.h"
#include "tests/link/pty_line.h"
#include "tests/support/fresh_core.h"

namespace {

// A session whose board is the master side of a pseudo-terminal.
class Connect : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override { board = OpenPtyEnd(); }
    void TearDown() override {
        S.Port.Close();
        ClosePtyEnd(board);
    }
    Text PortName() const { return TextFromUtf8(board.path); }
    std::vector<Text> LogLines() const {
        std::vector<Text> lines;
        const Text& all = LogText(S);
        if (all.empty()) return lines;
        size_t start = 0;
        for (size_t at; (at = all.find(u"\r\n", start)) != Text::npos; start = at + 2)
            lines.push_back(all.substr(start, at - start));
        lines.push_back(all.substr(start));
        return lines;
    }

    PtyEnd board;
};

const Text kHint = u"Set port number then run 'Program'";

TEST_F(Connect, WithoutAPortItAsksForOneAndShowsProgram) {
    ASSERT_EQ(S.App.Comport, u"not set");
    EXPECT_FALSE(ConnectBoard(S));
    EXPECT_EQ(LogLines(), std::vector<Text>{kHint});
    EXPECT_TRUE(S.Window.ProgramShown);
    EXPECT_FALSE(S.App.ProgramButtonHidden);
    EXPECT_FALSE(S.Port.IsOpen());
}

TEST_F(Connect, OpensOnceAtTheSpeedOfTheSettingAndHidesProgram) {
    S.App.Comport = PortName();
    S.App.SerialSpeed = u" 57600 baud";
    S.App.Device = u"picromite";
    ShowButton(S, ControlId::ProgramButton, true);
    EXPECT_TRUE(ConnectBoard(S));
    EXPECT_TRUE(ConnectBoard(S));  // already open: nothing more is logged
    EXPECT_EQ(LogLines(), std::vector<Text>{u"Connected to picromite at  57600 baud"});
    EXPECT_FALSE(S.Window.ProgramShown);
    EXPECT_TRUE(S.App.ProgramButtonHidden);
    termios tio{};
    tcgetattr(board.holder, &tio);
    EXPECT_EQ(cfgetospeed(&tio), B57600);
}

TEST_F(Connect, AMissingPortOrAnUnusableSpeedIsReportedAsBoardNotFound) {
    std::vector<Text> expected{u"Micromite Not found!", kHint,
                               u"cannot open /dev/qz-no-such-port: no such device. Is the board "
                               u"plugged in? 'qz-upload --list-ports' lists the serial ports "
                               u"present."};
    S.App.Comport = u"/dev/qz-no-such-port";
    EXPECT_FALSE(ConnectBoard(S));
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(S.Window.ProgramShown);
    EXPECT_FALSE(S.App.ProgramButtonHidden);

    ClearLog(S);
    S.App.Comport = PortName();
    S.App.SerialSpeed = u"fast";  // no number: 0 baud, which the port refuses
    EXPECT_FALSE(ConnectBoard(S));
    expected.back() = u"cannot open " + PortName() +
                      u": the port refused the line settings (check the baud rate).";
    EXPECT_EQ(LogLines(), expected);
    EXPECT_FALSE(S.Port.IsOpen());
}

TEST_F(Connect, FirmwareResetLeavesThePortOpenAt1200AndMarksTheFirmwarePending) {
    EXPECT_FALSE(S.Window.SecondProgramShown);
    FirmwareReset(S);
    EXPECT_EQ(LogLines(), std::vector<Text>{kHint});
    EXPECT_TRUE(S.Window.SecondProgramShown);
    EXPECT_FALSE(S.App.FirmwarePending);

    ClearLog(S);
    // A port that does not open: the log says why, and no firmware is awaited.
    S.App.PicoPort = u"/dev/qz-no-such-port";
    FirmwareReset(S);
    EXPECT_TRUE(
        StartsWith(LogText(S), u"Firmware reset not done: cannot open /dev/qz-no-such-port"));
    EXPECT_FALSE(S.App.FirmwarePending);
    ClearLog(S);

    S.App.PicoPort = PortName();
    int64_t start = Clock.ElapsedMs();
    long pumps = Front.Pumps;
    FirmwareReset(S);
    EXPECT_GE(Clock.ElapsedMs() - start, 500);
    EXPECT_GT(Front.Pumps, pumps);  // the window ran during the pause
    EXPECT_TRUE(S.App.FirmwarePending);
    EXPECT_TRUE(S.Port.IsOpen());
    termios tio{};
    tcgetattr(board.holder, &tio);
    EXPECT_EQ(cfgetospeed(&tio), B1200);
    EXPECT_EQ(LogText(S), u"");
}

}  // namespace
