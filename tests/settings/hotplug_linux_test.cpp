#include "settings/hotplug_linux.h"

#include <poll.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "app/notices.h"
#include "app/session.h"
#include "link/clock_sim.h"
#include "settings/mount_table.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/test_frontend.h"
#include "tests/support/uf2_image.h"

namespace {

class Hotplug : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(Files / "dev");
        Table = Files / "mountinfo";
        WriteTable("");
    }

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

    ScratchFolder Files;
    std::filesystem::path Table;
    HotplugWatch Watch;
};

using Ports = std::vector<PortChange>;
using Volumes = std::vector<VolumeChange>;

// The kernel creates and deletes device nodes; only serial port names are reported.
TEST_F(Hotplug, SerialNodesCreatedAndDeletedAreReported) {
    int fd = Watch.OpenPortWatch((Files / "dev").string());
    ASSERT_GE(fd, 0);
    WriteBytes(Files / "dev" / "ttyACM0", "");
    WriteBytes(Files / "dev" / "sda1", "");
    WriteBytes(Files / "dev" / "ttyUSBx", "");
    ASSERT_TRUE(Ready(fd, POLLIN));
    EXPECT_EQ(Watch.HandlePortWatch(), (Ports{{u"ttyACM0", true}}));

    std::filesystem::remove(Files / "dev" / "ttyACM0");
    ASSERT_TRUE(Ready(fd, POLLIN));
    EXPECT_EQ(Watch.HandlePortWatch(), (Ports{{u"ttyACM0", false}}));
    // Nothing pending: handling again reads nothing and reports nothing.
    EXPECT_TRUE(Watch.HandlePortWatch().empty());
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
    ASSERT_GE(Watch.OpenVolumeWatch(Table.string()), 0);
    EXPECT_TRUE(Watch.HandleVolumeWatch().empty());

    WriteTable(
        "90 22 8:17 / /media/pi/RPI\\040RP2 rw,nosuid shared:40 - vfat /dev/sdb1 rw\n"
        "91 22 0:60 / /mnt/share rw shared:41 - nfs4 host:/export rw\n"
        "92 22 0:61 / /run/user/0 rw shared:42 - tmpfs tmpfs rw\n");
    EXPECT_EQ(Watch.HandleVolumeWatch(),
              (Volumes{{u"/media/pi/RPI RP2", u"/media/pi/RPI RP2/", true}}));

    WriteTable("");
    EXPECT_EQ(Watch.HandleVolumeWatch(),
              (Volumes{{u"/media/pi/RPI RP2", u"/media/pi/RPI RP2/", false}}));
}

// The pending firmware goes to the drive that arrives, not to one that is unmounted meanwhile.
TEST_F(Hotplug, ThePendingFirmwareWaitsForAMountedDrive) {
    std::filesystem::create_directory(Files / "old");
    std::filesystem::create_directory(Files / "RPI RP2");
    WriteBytes(Files / "fw.uf2", Uf2Image(1));
    WriteTable("80 22 8:33 / " + (Files / "old").string() + " rw - ext4 /dev/sdc1 rw\n");
    ASSERT_GE(Watch.OpenVolumeWatch(Table.string()), 0);
    TestFrontend front;
    SimClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Session s(front, *port, clock);
    s.App.ProgramPath = PathText(Files / "fw.uf2");
    s.App.FirmwarePending = true;
    auto deliver = [&] {
        for (const VolumeChange& c : Watch.HandleVolumeWatch())
            OnVolumeNotice(s, c.Label, c.Root, c.Arrived);
    };

    WriteTable("");
    deliver();
    EXPECT_TRUE(s.App.FirmwarePending);
    EXPECT_FALSE(std::filesystem::exists(Files / "old" / "fw.uf2"));

    std::string drive = (Files / "RPI RP2").string();
    std::string escaped = drive.substr(0, drive.find(' ')) + "\\040RP2";
    WriteTable("90 22 8:17 / " + escaped + " rw - vfat /dev/sdb1 rw\n");
    deliver();
    EXPECT_FALSE(s.App.FirmwarePending);
    EXPECT_EQ(ReadBytes(Files / "RPI RP2" / "fw.uf2"), Uf2Image(1));
}

// A stand-in table (a simulated board's) may be in the mounts format; both formats give device
// mounts only, with their escapes decoded.
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
    EXPECT_LT(Watch.OpenPortWatch((Files / "missing").string()), 0);
    EXPECT_LT(Watch.OpenVolumeWatch((Files / "missing.table").string()), 0);
    EXPECT_TRUE(Watch.HandlePortWatch().empty());
    EXPECT_TRUE(Watch.HandleVolumeWatch().empty());
}

}  // namespace
