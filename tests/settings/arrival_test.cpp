// The session's answers to ports and drives that come and go (app/notices.h).
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/notices.h"
#include "app/session.h"
#include "link/clock_sim.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/test_frontend.h"
#include "tests/support/uf2_image.h"
#include "ui/log.h"

namespace {

class DeviceArrival : public ::testing::Test {
protected:
    void SetUp() override {
        Sys.Install();
        s.App.ProgramPath = PathText(Files / "firmware.uf2");
        WriteBytes(Files / "firmware.uf2", Uf2Image(1));
        std::filesystem::create_directory(Files / "drive");
        Root = PathText(Files / "drive") + u"/";
    }
    std::filesystem::path Copied() const { return Files / "drive" / "firmware.uf2"; }

    FakeSysfs Sys;
    ScratchFolder Files;
    Text Root;
    TestFrontend front;
    SimClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Session s{front, *port, clock};
};

TEST_F(DeviceArrival, PortNoticesAreLoggedAndRefreshTheBox) {
    s.App.Comport = u"/dev/ttyACM0";
    Sys.Add("ttyACM0", true);
    OnPortNotice(s, u"/dev/ttyACM0", true);
    EXPECT_EQ(s.Window.PortBox.Items, std::vector<Text>{u"/dev/ttyACM0"});
    EXPECT_EQ(s.Window.PortBox.Selected, 0);

    Sys.Remove("ttyACM0");
    OnPortNotice(s, u"/dev/ttyACM0", false);
    EXPECT_EQ(front.MessageBoxes, std::vector<Text>{u"OOPS!: No com ports found"});
    EXPECT_TRUE(s.Window.PortBox.Items.empty());
    EXPECT_EQ(LogText(s), u"Port: /dev/ttyACM0 inserted\r\nPort: /dev/ttyACM0 removed");
}

TEST_F(DeviceArrival, DrivesAreLoggedAndNothingIsCopiedWithoutAReset) {
    OnVolumeNotice(s, u"E", Root, true);
    OnVolumeNotice(s, u"E", Root, false);
    EXPECT_EQ(LogText(s), u"  Device Drive E\r\n  Device Drive E");
    EXPECT_FALSE(std::filesystem::exists(Copied()));
}

TEST_F(DeviceArrival, RemovalKeepsThePendingCopyForTheBoardsDrive) {
    s.App.FirmwarePending = true;
    WriteBytes(Copied(), "an older image, longer than the new one");
    OnVolumeNotice(s, u"/media/stick", PathText(Files / "stick") + u"/", false);
    EXPECT_TRUE(s.App.FirmwarePending);
    OnVolumeNotice(s, u"/media/nowhere", u"", true);  // no root to copy to
    EXPECT_TRUE(s.App.FirmwarePending);

    OnVolumeNotice(s, u"/media/RPI-RP2", Root, true);
    EXPECT_EQ(clock.ElapsedMs(), 1000);  // the drive is given a moment before the copy
    EXPECT_FALSE(s.App.FirmwarePending);
    EXPECT_EQ(ReadBytes(Copied()), Uf2Image(1));
    EXPECT_EQ(LogText(s),
              u"  Device Drive /media/stick\r\n  Device Drive /media/nowhere\r\n"
              u"  Device Drive /media/RPI-RP2\r\n" +
                  Root + u"firmware.uf2");

    // One copy per reset: the next drive gets nothing.
    std::filesystem::remove(Copied());
    OnVolumeNotice(s, u"/media/RPI-RP2", Root, true);
    EXPECT_FALSE(std::filesystem::exists(Copied()));
}

TEST_F(DeviceArrival, FailedCopyIsLogged) {
    s.App.FirmwarePending = true;
    Text vanished = PathText(Files / "vanished") + u"/";
    OnVolumeNotice(s, u"F:", vanished, true);
    EXPECT_FALSE(s.App.FirmwarePending);
    ASSERT_EQ(s.Log.Lines, 3);
    EXPECT_TRUE(LogText(s).ends_with(
        u"\r\n" + vanished + u"firmware.uf2\r\nFirmware copy failed: " +
        TextFromAnsi(std::make_error_code(std::errc::no_such_file_or_directory).message())))
        << Utf8FromText(LogText(s));

    // A link planted in the drive under the file's name is not written through.
    WriteBytes(Files / "victim.txt", "kept");
    std::filesystem::create_symlink(Files / "victim.txt", Copied());
    s.App.FirmwarePending = true;
    EXPECT_FALSE(OnVolumeNotice(s, u"E", Root, true));
    EXPECT_EQ(ReadBytes(Files / "victim.txt"), "kept");
    EXPECT_TRUE(LogText(s).ends_with(
        u"Firmware copy failed: it is a symbolic link; it is not written through"));
}

}  // namespace
