#include <vector>

#include <gtest/gtest.h>

#include "app/options.h"
#include "app/session.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"

namespace {

class OptionsLine : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override {
        // The upload job's defaults before any profile.
        S.App.StartCommand = u"AUTOSAVE";
        S.App.EndSequence = u"\x1a";
    }
    Text Apply(const Text& firstLine) {
        return ApplyOptionsLine(S, firstLine + u"\r\nPRINT 1\r\n");
    }
};

TEST_F(OptionsLine, LaterDeviceWordsWinWhileFlagsStaySet) {
    Apply(u"'onload micromite maximite");
    EXPECT_EQ(S.App.StartCommand, u"AUTOSAVE");
    EXPECT_EQ(S.App.EndSequence, u"\x1a");

    Apply(u"'onload micromite cmm2");  // micromite is tested after cmm2
    EXPECT_EQ(S.App.StartCommand, u"AUTOSAVE");
    EXPECT_TRUE(S.App.NoRun);

    Apply(u"'onload command picromite");
    EXPECT_EQ(S.App.StartCommand, u"");  // command is tested last
    EXPECT_TRUE(S.App.NoRun);
    EXPECT_TRUE(S.App.NoNew);
}

TEST_F(OptionsLine, Cmm2EndSequenceDependsOnNorun) {
    Apply(u"'onload cmm2 norun");
    EXPECT_EQ(S.App.EndSequence, u"\x1b[11~");
    EXPECT_TRUE(S.App.NoRun);
    S.App.NoRun = false;
    Apply(u"'onload cmm2");
    EXPECT_EQ(S.App.EndSequence, u"\x1b[12~");
    EXPECT_TRUE(S.App.NoRun);
    EXPECT_EQ(S.App.StartCommand, u"AUTOSAVE \"temp.bas\"");
}

TEST_F(OptionsLine, TargetNameFromTheLineOrTheProgramPath) {
    Apply(u"'onload cmm2 file/demo.bas settime");
    EXPECT_EQ(S.App.StartCommand, u"AUTOSAVE \"demo.bas\"");
    EXPECT_TRUE(S.App.SetTime);

    S.App.ProgramPath = u"C:\\work\\Game.BAS";
    Apply(u"'onload cmm2 file\\*");
    EXPECT_EQ(S.App.TargetName, u"Game.BAS");

    Apply(u"'onload setrtc");  // no file word: back to the default name
    EXPECT_EQ(S.App.TargetName, u"temp.bas");
    EXPECT_TRUE(S.App.SetRtc);
}

TEST_F(OptionsLine, PortWordNeedsADigitAndFillsBothBoxes) {
    S.Window.PortBox.Items = {u"COM3", u"COM7"};
    Apply(u"'onload com7:9600");
    EXPECT_EQ(S.App.Comport, u"com7");
    EXPECT_EQ(S.App.SerialSpeed, u"9600");
    EXPECT_EQ(BoxText(S.Window.PortBox), u"COM7");
    EXPECT_EQ(BoxText(S.Window.BaudBox), u"9600");

    // " command" before the port word must not be taken for a port.
    Apply(u"'onload command com3:115200");
    EXPECT_EQ(S.App.Comport, u"com3");
    EXPECT_EQ(S.App.SerialSpeed, u"115200");
    S.App.Comport = u"kept";
    Apply(u"'onload command");
    EXPECT_EQ(S.App.Comport, u"kept");

    // A port word without ":" leaves the rate empty; spaces around the parts go.
    Apply(u"'onload com5");
    EXPECT_EQ(S.App.Comport, u"com5");
    EXPECT_EQ(S.App.SerialSpeed, u"");
}

TEST_F(OptionsLine, CommandLinePortAndRateWinOverThePortWord) {
    std::vector<Text> log;
    RecordAppends(&log);
    S.App.Comport = u"/dev/ttyACM0";
    S.App.SerialSpeed = u"115200";
    KeepCommandLinePort(S, true, true);
    Apply(u"'onload com7:9600");
    KeepCommandLinePort(S, false, false);
    EXPECT_EQ(S.App.Comport, u"/dev/ttyACM0");
    EXPECT_EQ(S.App.SerialSpeed, u"115200");
    EXPECT_EQ(log, (std::vector<Text>{
                       u"Options line port com7 ignored: the command line chose /dev/ttyACM0",
                       u"Options line baud rate 9600 ignored: the command line chose 115200"}));
}

TEST_F(OptionsLine, WordsCountOnlyWhole) {
    Apply(u"'onload faster xmodems nonewline");
    EXPECT_FALSE(S.App.Fast);
    EXPECT_FALSE(S.App.ViaXmodem);
    EXPECT_FALSE(S.App.NoNew);
    Apply(u"'onload\tFAST xmodem");
    EXPECT_TRUE(S.App.Fast);
    EXPECT_TRUE(S.App.ViaXmodem);
}

TEST_F(OptionsLine, OnlyTheFirstLineCounts) {
    Text text = ApplyOptionsLine(S, u"'onload norun");  // no LF: no options line at all
    EXPECT_EQ(text, u"'onload norun");
    EXPECT_FALSE(S.App.NoRun);
    ApplyOptionsLine(S, u"PRINT 1\r\n'onload norun\r\n");
    EXPECT_FALSE(S.App.NoRun);
}

TEST_F(OptionsLine, CrunchKeepsTheOptionsLine) {
    Text text = ApplyOptionsLine(S, u"'onload crunch\r\nPRINT   1  ' comment\r\n\r\n");
    EXPECT_EQ(text, u"'onload crunch\r\nPRINT 1\r\n");
}

class DeviceProfileRows : public ::testing::Test, protected FreshCore {};

TEST_F(DeviceProfileRows, RowsAndTheBoxes) {
    S.Window.PortBox.Items = {u"COM4"};
    S.Window.PortBox.Selected = 0;
    SelectByText(S.Window.BaudBox, u"115200");

    S.App.Device = u"cmm2";
    ApplyDeviceProfile(S);
    EXPECT_EQ(S.App.StartCommand, u"AUTOSAVE \"temp.bas\"");
    EXPECT_EQ(S.App.EndSequence, u"\x1b[11~");
    EXPECT_TRUE(S.App.NoRun);
    EXPECT_EQ(S.App.Comport, u"COM4");
    EXPECT_EQ(S.App.SerialSpeed, u"115200");

    // Case counts: Micromite matches no row and leaves the fields as they were.
    S.App.StartCommand = u"unchanged";
    S.App.Device = u"Micromite";
    ApplyDeviceProfile(S);
    EXPECT_EQ(S.App.StartCommand, u"unchanged");

    S.App.Device = u"maximite";
    ApplyDeviceProfile(S);
    EXPECT_EQ(S.App.StartCommand, u"AUTO");
    EXPECT_EQ(S.App.EndSequence, u"\x03");
}

TEST(CommandLine, ParametersJoinWithCommas) {
    EXPECT_EQ(JoinCommandLine({}), u"");
    EXPECT_EQ(JoinCommandLine({u"C:\\my files\\a.bas"}), u"C:\\my files\\a.bas");
    EXPECT_EQ(JoinCommandLine({u"a", u"b"}), u"a,b");
}

}  // namespace
