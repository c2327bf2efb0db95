#include "settings/hotplug_linux.h"

#include <poll.h>

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "settings/mount_table.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/uf2_image.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

class Hotplug : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        Cli.LogOut = nullptr;
        ClearLog();
        Sys.Add("ttyACM0", true);
        Sys.Install();
        std::filesystem::create_directory(Files / "dev");
        Table = Files / "mountinfo";
        WriteTable("");
    }
    void TearDown() override { CloseHotplugWatches(); }

    void WriteTable(const std::string& extra) {
        WriteBytes(Table,
                   "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
                   "25 22 0:5 / /proc rw,nosuid shared:2 - proc proc rw\n" +
                       extra);
    }
    // Waits until the watch descriptor is ready, as the front end's event loop does.
    static bool Ready(int fd, short events) {
        pollfd p{fd, events, 0};
        return poll(&p, 1, 2000) == 1;
    }

    FakeSysfs Sys;
    ScratchFolder Files;
    std::filesystem::path Table;
};

// The kernel creates and deletes device nodes; only serial port names are reported.
TEST_F(Hotplug, SerialNodesCreatedAndDeletedAreReported) {
    int fd = OpenPortWatch((Files / "dev").string());
    ASSERT_GE(fd, 0);
    WriteBytes(Files / "dev" / "ttyACM0", "");
    WriteBytes(Files / "dev" / "sda1", "");
    WriteBytes(Files / "dev" / "ttyUSBx", "");
    ASSERT_TRUE(Ready(fd, POLLIN));
    HandlePortWatch();
    EXPECT_EQ(LogText(), u"Port: ttyACM0 inserted");
    EXPECT_EQ(Window.PortBox.Items, std::vector<Text>{u"/dev/ttyACM0"});

    ClearLog();
    std::filesystem::remove(Files / "dev" / "ttyACM0");
    ASSERT_TRUE(Ready(fd, POLLIN));
    HandlePortWatch();
    EXPECT_EQ(LogText(), u"Port: ttyACM0 removed");
    // Nothing pending: handling again reads nothing and logs nothing.
    HandlePortWatch();
    EXPECT_EQ(LogText(), u"Port: ttyACM0 removed");
}

TEST_F(Hotplug, PortNamesAreTheKernelsSerialDrivers) {
    for (const char* name : {"ttyACM0", "ttyUSB12", "ttyS0", "ttyAMA1", "rfcomm3"})
        EXPECT_TRUE(IsSerialPortName(name)) << name;
    for (const char* name : {"tty1", "ttyACM", "ttyUSB0a", "ptmx", "sda1", "ttyS-1", ""})
        EXPECT_FALSE(IsSerialPortName(name)) << name;
}

// Mount points of devices that appear or go are reported with escapes decoded; pseudo and
// network file systems are not devices and stay silent.
TEST_F(Hotplug, MountedAndUnmountedDrivesAreReported) {
    ASSERT_GE(OpenVolumeWatch(Table.string()), 0);
    HandleVolumeWatch();
    EXPECT_EQ(LogText(), u"");

    WriteTable(
        "90 22 8:17 / /media/pi/RPI\\040RP2 rw,nosuid shared:40 - vfat /dev/sdb1 rw\n"
        "91 22 0:60 / /mnt/share rw shared:41 - nfs4 host:/export rw\n"
        "92 22 0:61 / /run/user/0 rw shared:42 - tmpfs tmpfs rw\n");
    HandleVolumeWatch();
    EXPECT_EQ(LogText(), u"  Device Drive /media/pi/RPI RP2");

    ClearLog();
    WriteTable("");
    HandleVolumeWatch();
    EXPECT_EQ(LogText(), u"  Device Drive /media/pi/RPI RP2");
}

// The pending firmware goes to the drive that arrives, not to one that is unmounted meanwhile.
TEST_F(Hotplug, ThePendingFirmwareWaitsForAMountedDrive) {
    std::filesystem::create_directory(Files / "old");
    std::filesystem::create_directory(Files / "RPI RP2");
    WriteBytes(Files / "fw.uf2", Uf2Image(1));
    WriteTable("80 22 8:33 / " + (Files / "old").string() + " rw - ext4 /dev/sdc1 rw\n");
    ASSERT_GE(OpenVolumeWatch(Table.string()), 0);
    App.ProgramPath = PathText(Files / "fw.uf2");
    App.FirmwarePending = true;

    WriteTable("");
    HandleVolumeWatch();
    EXPECT_TRUE(App.FirmwarePending);
    EXPECT_FALSE(std::filesystem::exists(Files / "old" / "fw.uf2"));

    std::string drive = (Files / "RPI RP2").string();
    std::string escaped = drive.substr(0, drive.find(' ')) + "\\040RP2";
    WriteTable("90 22 8:17 / " + escaped + " rw - vfat /dev/sdb1 rw\n");
    HandleVolumeWatch();
    EXPECT_FALSE(App.FirmwarePending);
    EXPECT_EQ(ReadBytes(Files / "RPI RP2" / "fw.uf2"), Uf2Image(1));
}

// The headless drive wait reads the mounts format; both formats give device mounts only,
// with their escapes decoded.
TEST_F(Hotplug, BothMountTableFormatsGiveTheDevicesMountPoints) {
    WriteTable("40 22 8:17 / /media/u/MY\\040DRIVE rw - vfat /dev/sdb1 rw\n");
    const std::set<std::string> expected{"/", "/media/u/MY DRIVE"};
    EXPECT_EQ(ReadMountPoints(Table.string()), expected);
    WriteBytes(Table,
               "/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n"
               "/dev/sdb1 /media/u/MY\\040DRIVE vfat rw 0 0\n");
    EXPECT_EQ(ReadMountPoints(Table.string()), expected);
}

TEST_F(Hotplug, WatchesThatCannotStartSayNothingLater) {
    EXPECT_LT(OpenPortWatch((Files / "missing").string()), 0);
    EXPECT_LT(OpenVolumeWatch((Files / "missing.table").string()), 0);
    HandlePortWatch();
    HandleVolumeWatch();
    EXPECT_EQ(LogText(), u"");
}

}  // namespace
