#include <vector>

#include <gtest/gtest.h>

#include "app/options.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"

namespace {

class OptionsLine : public ::testing::Test {
protected:
    void SetUp() override {
        StartFreshCore();
        // The upload job's defaults before any profile.
        App.StartCommand = u"AUTOSAVE";
        App.EndSequence = u"\x1a";
    }
    Text Apply(const Text& firstLine) { return ApplyOptionsLine(firstLine + u"\r\nPRINT 1\r\n"); }
};

TEST_F(OptionsLine, LaterDeviceWordsWinWhileFlagsStaySet) {
    Apply(u"'onload micromite maximite");
    EXPECT_EQ(App.StartCommand, u"AUTOSAVE");
    EXPECT_EQ(App.EndSequence, u"\x1a");

    Apply(u"'onload micromite cmm2");  // micromite is tested after cmm2
    EXPECT_EQ(App.StartCommand, u"AUTOSAVE");
    EXPECT_TRUE(App.NoRun);

    Apply(u"'onload command picromite");
    EXPECT_EQ(App.StartCommand, u"");  // command is tested last
    EXPECT_TRUE(App.NoRun);
    EXPECT_TRUE(App.NoNew);
}

TEST_F(OptionsLine, Cmm2EndSequenceDependsOnNorun) {
    Apply(u"'onload cmm2 norun");
    EXPECT_EQ(App.EndSequence, u"\x1b[11~");
    EXPECT_TRUE(App.NoRun);
    App.NoRun = false;
    Apply(u"'onload cmm2");
    EXPECT_EQ(App.EndSequence, u"\x1b[12~");
    EXPECT_TRUE(App.NoRun);
    EXPECT_EQ(App.StartCommand, u"AUTOSAVE \"temp.bas\"");
}

TEST_F(OptionsLine, TargetNameFromTheLineOrTheProgramPath) {
    Apply(u"'onload cmm2 file/demo.bas settime");
    EXPECT_EQ(App.StartCommand, u"AUTOSAVE \"demo.bas\"");
    EXPECT_TRUE(App.SetTime);

    App.ProgramPath = u"C:\\work\\Game.BAS";
    Apply(u"'onload cmm2 file\\*");
    EXPECT_EQ(App.TargetName, u"Game.BAS");

    Apply(u"'onload setrtc");  // no file word: back to the default name
    EXPECT_EQ(App.TargetName, u"temp.bas");
    EXPECT_TRUE(App.SetRtc);
}

TEST_F(OptionsLine, PortWordNeedsADigitAndFillsBothBoxes) {
    Window.PortBox.Items = {u"COM3", u"COM7"};
    Apply(u"'onload com7:9600");
    EXPECT_EQ(App.Comport, u"com7");
    EXPECT_EQ(App.SerialSpeed, u"9600");
    EXPECT_EQ(BoxText(Window.PortBox), u"COM7");
    EXPECT_EQ(BoxText(Window.BaudBox), u"9600");

    // " command" before the port word must not be taken for a port.
    Apply(u"'onload command com3:115200");
    EXPECT_EQ(App.Comport, u"com3");
    EXPECT_EQ(App.SerialSpeed, u"115200");
    App.Comport = u"kept";
    Apply(u"'onload command");
    EXPECT_EQ(App.Comport, u"kept");

    // A port word without ":" leaves the rate empty; spaces around the parts go.
    Apply(u"'onload com5");
    EXPECT_EQ(App.Comport, u"com5");
    EXPECT_EQ(App.SerialSpeed, u"");
}

TEST_F(OptionsLine, CommandLinePortAndRateWinOverThePortWord) {
    std::vector<Text> log;
    RecordAppends(&log);
    App.Comport = u"/dev/ttyACM0";
    App.SerialSpeed = u"115200";
    KeepCommandLinePort(true, true);
    Apply(u"'onload com7:9600");
    KeepCommandLinePort(false, false);
    CliHooks = CliWindowHooks();
    EXPECT_EQ(App.Comport, u"/dev/ttyACM0");
    EXPECT_EQ(App.SerialSpeed, u"115200");
    EXPECT_EQ(log, (std::vector<Text>{
                       u"Options line port com7 ignored: the command line chose /dev/ttyACM0",
                       u"Options line baud rate 9600 ignored: the command line chose 115200"}));
}

TEST_F(OptionsLine, OnlyTheFirstLineCounts) {
    Text text = ApplyOptionsLine(u"'onload norun");  // no LF: no options line at all
    EXPECT_EQ(text, u"'onload norun");
    EXPECT_FALSE(App.NoRun);
    ApplyOptionsLine(u"PRINT 1\r\n'onload norun\r\n");
    EXPECT_FALSE(App.NoRun);
}

TEST_F(OptionsLine, CrunchKeepsTheOptionsLine) {
    Text text = ApplyOptionsLine(u"'onload crunch\r\nPRINT   1  ' comment\r\n\r\n");
    EXPECT_EQ(text, u"'onload crunch\r\nPRINT 1\r\n");
}

TEST(DeviceProfile, RowsAndTheBoxes) {
    StartFreshCore();
    Window.PortBox.Items = {u"COM4"};
    Window.PortBox.Selected = 0;
    SelectByText(Window.BaudBox, u"115200");

    App.Device = u"cmm2";
    ApplyDeviceProfile();
    EXPECT_EQ(App.StartCommand, u"AUTOSAVE \"temp.bas\"");
    EXPECT_EQ(App.EndSequence, u"\x1b[11~");
    EXPECT_TRUE(App.NoRun);
    EXPECT_EQ(App.Comport, u"COM4");
    EXPECT_EQ(App.SerialSpeed, u"115200");

    // Case counts: Micromite matches no row and leaves the fields as they were.
    App.StartCommand = u"unchanged";
    App.Device = u"Micromite";
    ApplyDeviceProfile();
    EXPECT_EQ(App.StartCommand, u"unchanged");

    App.Device = u"maximite";
    ApplyDeviceProfile();
    EXPECT_EQ(App.StartCommand, u"AUTO");
    EXPECT_EQ(App.EndSequence, u"\x03");
}

TEST(CommandLine, ParametersJoinWithCommas) {
    EXPECT_EQ(JoinCommandLine({}), u"");
    EXPECT_EQ(JoinCommandLine({u"C:\\my files\\a.bas"}), u"C:\\my files\\a.bas");
    EXPECT_EQ(JoinCommandLine({u"a", u"b"}), u"a,b");
}

}  // namespace
