#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/options.h"
#include "app/port_box.h"
#include "app/session.h"
#include "link/clock_sim.h"
#include "settings/ports.h"
#include "settings/ports_linux.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/test_frontend.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

using Ports = std::vector<Text>;

TEST(SerialPortListing, KeepsPortsWithHardwareInNaturalOrder) {
    FakeSysfs sys;
    sys.Add("ttyUSB10", true);
    sys.Add("ttyS0", true, "4");
    sys.Add("ttyUSB2", true);
    sys.Add("ttyS1", true, "0");  // 8250 slot without a UART
    sys.Add("ttyS10", true, "4");
    sys.Add("ttyS2", true, "4");
    sys.Add("ttyACM1", true);
    sys.Add("ttyACM0", true);
    sys.Add("ttyAMA0", true, "0");  // placeholder of another serial-core driver
    sys.Add("ttymxc0", true, "1");
    sys.Add("tty0", false);
    sys.Add("console", false);
    sys.Add("ptmx", false);
    EXPECT_EQ(ListSerialPortsUnder(PathText(sys.Root.Path)),
              (Ports{u"/dev/ttyACM0", u"/dev/ttyACM1", u"/dev/ttyUSB2", u"/dev/ttyUSB10",
                     u"/dev/ttymxc0", u"/dev/ttyS0", u"/dev/ttyS2", u"/dev/ttyS10"}));

    EXPECT_TRUE(ListSerialPortsUnder(PathText(sys.Root / "nowhere")).empty());
}

TEST(SerialPortListing, TellsEachPortsUsbIdentityAndStableName) {
    FakeSysfs sys;
    sys.AddUsb("ttyACM0", "1-1", false, "2e8a", "000A", "Raspberry Pi", "Pico", "E6614C311B");
    sys.AddUsb("ttyUSB0", "1-2", true, "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI");
    sys.Add("ttyS0", true, "4");
    sys.Add("console", false);
    WriteBytes(sys.Root / "class" / "tty" / "console" / "active", "ttyS0 tty0\n");
    std::string dev = sys.DevRoot();
    std::vector<PortIdentity> ports =
        ListSerialPortIdentitiesUnder(PathText(sys.Root.Path), TextFromUtf8(dev));
    std::vector<std::string> lines;
    for (const PortIdentity& port : ports)
        lines.push_back(Utf8FromText(DescribePort(port)));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         dev + "/ttyACM0  2e8a:000a Raspberry Pi Pico serial E6614C311B  " + dev +
                             "/serial/by-id/usb-Raspberry Pi_E6614C311B-if00  (looks like a board)",
                         dev + "/ttyUSB0  0403:6001 FTDI FT232R USB UART serial A50285BI  " + dev +
                             "/serial/by-id/usb-FTDI_A50285BI-if00",
                         dev + "/ttyS0  (the system console)"}));
    EXPECT_TRUE(IsUsbPort(ports[1]));
    EXPECT_FALSE(IsUsbPort(ports[2]));
}

class PortDiscovery : public ::testing::Test {
protected:
    void SetUp() override { Sys.Install(); }
    // Runs a refresh and returns what it showed in message boxes.
    std::vector<Text> Refresh() {
        front.MessageBoxes.clear();
        RefreshPortBox(s);
        return front.MessageBoxes;
    }
    FakeSysfs Sys;
    TestFrontend front;
    SimClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Session s{front, *port, clock};
};

TEST_F(PortDiscovery, NoPortsShowsTheMessageAndAnEmptyBox) {
    Sys.Add("tty1", false);
    s.Window.PortBox.Items = {u"/dev/stale"};
    s.Window.PortBox.Selected = 0;
    EXPECT_EQ(Refresh(), std::vector<Text>{u"OOPS!: No com ports found"});
    EXPECT_TRUE(s.App.PortList.empty());
    EXPECT_TRUE(s.Window.PortBox.Items.empty());
    EXPECT_EQ(s.Window.PortBox.Selected, -1);
}

// The box shows what the system knows of each port, likely boards first; a choice stores
// the port's path.
TEST_F(PortDiscovery, TheBoxLabelsPortsAndListsLikelyBoardsFirst) {
    Sys.AddUsb("ttyUSB0", "1-2", true, "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI");
    Sys.Add("ttyS0", true, "4");
    Sys.AddUsb("ttyACM1", "1-1", false, "2e8a", "000a", "Raspberry Pi", "Pico", "E6614C311B");
    s.App.Comport = u"/dev/ttyUSB0";
    Refresh();
    std::vector<Text> labels;
    for (size_t i = 0; i < s.Window.PortBox.Items.size(); ++i)
        labels.push_back(BoxLabel(s.Window.PortBox, i));
    EXPECT_EQ(labels, (Ports{u"ttyACM1 - Raspberry Pi Pico (E6614C311B)",
                             u"ttyUSB0 - FTDI FT232R USB UART (A50285BI)", u"/dev/ttyS0"}));
    EXPECT_EQ(BoxText(s.Window.PortBox), s.App.Comport);
    EXPECT_EQ(s.Window.PortBox.Items[0], u"/dev/ttyACM1");
}

TEST_F(PortDiscovery, SelectionFollowsComportAcrossUnplugAndReplug) {
    Sys.Add("ttyUSB0", true);
    Sys.Add("ttyACM0", true);
    s.App.Comport = u"not set";
    EXPECT_TRUE(Refresh().empty());
    EXPECT_EQ(s.Window.PortBox.Items, (Ports{u"/dev/ttyACM0", u"/dev/ttyUSB0"}));
    EXPECT_EQ(s.Window.PortBox.Selected, -1);

    s.App.Comport = u"/DEV/TTYUSB0";  // the box matches without regard to case
    Refresh();
    EXPECT_EQ(s.Window.PortBox.Selected, 1);

    Sys.Remove("ttyUSB0");
    Refresh();
    EXPECT_EQ(s.Window.PortBox.Items, Ports{u"/dev/ttyACM0"});
    EXPECT_EQ(s.Window.PortBox.Selected, -1);
    EXPECT_EQ(s.App.Comport, u"/DEV/TTYUSB0");

    Sys.Add("ttyUSB0", true);
    Refresh();
    EXPECT_EQ(s.Window.PortBox.Selected, 1);
}

// A pseudo-terminal's master, its slave ready to open; -1 when none could be had.
int OpenPtyMaster() {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
        close(master);
        return -1;
    }
    return master;
}

TEST_F(PortDiscovery, ChosenPseudoTerminalIsListedWhileItExists) {
    int master = OpenPtyMaster();
    ASSERT_GE(master, 0);
    Text pty = TextFromUtf8(ptsname(master));
    ScratchFolder links;
    std::filesystem::create_symlink(ptsname(master), links / "board");

    // No real port at all: the pty alone fills the box, and no message is shown.
    s.App.Comport = pty;
    EXPECT_TRUE(Refresh().empty());
    EXPECT_EQ(s.Window.PortBox.Items, Ports{pty});
    EXPECT_EQ(s.Window.PortBox.Selected, 0);

    Sys.Add("ttyUSB0", true);
    s.App.Comport = PathText(links / "board");
    Refresh();
    EXPECT_EQ(s.Window.PortBox.Items, (Ports{u"/dev/ttyUSB0", s.App.Comport}));
    EXPECT_EQ(s.Window.PortBox.Selected, 1);

    // Listed ports are not repeated; missing paths and bare names are not added.
    for (Text chosen : {Text(u"/dev/ttyUSB0"), PathText(links / "gone"), Text(u"board")}) {
        s.App.Comport = chosen;
        Refresh();
        EXPECT_EQ(s.Window.PortBox.Items, Ports{u"/dev/ttyUSB0"});
    }
    close(master);
}

TEST_F(PortDiscovery, AComWordThatNamesNoPortKeepsThePresentChosenOne) {
    int master = OpenPtyMaster();
    ASSERT_GE(master, 0);
    Text pty = TextFromUtf8(ptsname(master));
    s.App.Comport = pty;
    ApplyOptionsLine(s, u"'onload com97:9600\r\nprint 1\r\n");
    EXPECT_EQ(s.App.Comport, pty);
    EXPECT_EQ(s.App.SerialSpeed, u"9600");
    EXPECT_EQ(LogText(s), u"Options line port com97 is not on this machine; using " + pty);
    close(master);
}

}  // namespace
