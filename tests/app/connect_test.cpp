#include <termios.h>

#include "app/connect.h"
#include "link/clock.h"
#include "tests/link/link_support.h"

namespace {

using Connect = PtyLinkTest;

const Text kHint = u"Set port number then run 'Program'";

TEST_F(Connect, WithoutAPortItAsksForOneAndShowsProgram) {
    ASSERT_EQ(App.Comport, u"not set");
    EXPECT_FALSE(ConnectBoard());
    EXPECT_EQ(LogLines(), std::vector<Text>{kHint});
    EXPECT_TRUE(Window.ProgramShown);
    EXPECT_FALSE(App.ProgramButtonHidden);
    EXPECT_FALSE(IsPortOpen());
}

TEST_F(Connect, OpensOnceAtTheSpeedOfTheSettingAndHidesProgram) {
    App.Comport = PortName();
    App.SerialSpeed = u" 57600 baud";
    App.Device = u"picromite";
    ShowButton(ControlId::ProgramButton, true);
    EXPECT_TRUE(ConnectBoard());
    EXPECT_TRUE(ConnectBoard());  // already open: nothing more is logged
    EXPECT_EQ(LogLines(), std::vector<Text>{u"Connected to picromite at  57600 baud"});
    EXPECT_FALSE(Window.ProgramShown);
    EXPECT_TRUE(App.ProgramButtonHidden);
    termios tio{};
    tcgetattr(board.holder, &tio);
    EXPECT_EQ(cfgetospeed(&tio), B57600);
}

TEST_F(Connect, AMissingPortOrAnUnusableSpeedIsReportedAsBoardNotFound) {
    std::vector<Text> expected{u"Micromite Not found!", kHint,
                               u"cannot open /dev/qz-no-such-port: no such device. Is the board "
                               u"plugged in? 'qz-upload --list-ports' lists the serial ports "
                               u"present."};
    App.Comport = u"/dev/qz-no-such-port";
    EXPECT_FALSE(ConnectBoard());
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(Window.ProgramShown);
    EXPECT_FALSE(App.ProgramButtonHidden);

    ClearLog();
    App.Comport = PortName();
    App.SerialSpeed = u"fast";  // no number: 0 baud, which the port refuses
    EXPECT_FALSE(ConnectBoard());
    expected.back() = u"cannot open " + PortName() +
                      u": the port refused the line settings (check the baud rate).";
    EXPECT_EQ(LogLines(), expected);
    EXPECT_FALSE(IsPortOpen());
}

TEST_F(Connect, FirmwareResetLeavesThePortOpenAt1200AndMarksTheFirmwarePending) {
    EXPECT_FALSE(Window.SecondProgramShown);
    FirmwareReset();
    EXPECT_EQ(LogLines(), std::vector<Text>{kHint});
    EXPECT_TRUE(Window.SecondProgramShown);
    EXPECT_FALSE(App.FirmwarePending);

    ClearLog();
    App.PicoPort = u"/dev/qz-no-such-port";
    FirmwareReset();
    EXPECT_EQ(LogText(), u"");
    EXPECT_FALSE(App.FirmwarePending);

    App.PicoPort = PortName();
    int64_t start = ElapsedMs();
    FirmwareReset();
    EXPECT_GE(ElapsedMs() - start, 500);
    EXPECT_TRUE(App.FirmwarePending);
    EXPECT_TRUE(IsPortOpen());
    termios tio{};
    tcgetattr(board.holder, &tio);
    EXPECT_EQ(cfgetospeed(&tio), B1200);
    EXPECT_EQ(LogText(), u"");
}

}  // namespace
