#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "settings/ports.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/uf2_image.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

class DeviceArrival : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        Cli.LogOut = nullptr;
        ClearLog();
        Sys.Install();
        App.ProgramPath = PathText(Files / "firmware.uf2");
        WriteBytes(Files / "firmware.uf2", Uf2Image(1));
        std::filesystem::create_directory(Files / "drive");
        Root = PathText(Files / "drive") + u"/";
    }
    std::filesystem::path Copied() const { return Files / "drive" / "firmware.uf2"; }

    FakeSysfs Sys;
    ScratchFolder Files;
    Text Root;
};

TEST_F(DeviceArrival, PortNoticesAreLoggedAndRefreshTheBox) {
    App.Comport = u"/dev/ttyACM0";
    Sys.Add("ttyACM0", true);
    OnPortNotice(u"/dev/ttyACM0", true);
    EXPECT_EQ(Window.PortBox.Items, std::vector<Text>{u"/dev/ttyACM0"});
    EXPECT_EQ(Window.PortBox.Selected, 0);

    Sys.Remove("ttyACM0");
    ::testing::internal::CaptureStderr();
    OnPortNotice(u"/dev/ttyACM0", false);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "OOPS!: No com ports found\n");
    EXPECT_TRUE(Window.PortBox.Items.empty());
    EXPECT_EQ(LogText(), u"Port: /dev/ttyACM0 inserted\r\nPort: /dev/ttyACM0 removed");
}

TEST_F(DeviceArrival, DrivesAreLoggedAndNothingIsCopiedWithoutAReset) {
    OnVolumeNotice(u"E", Root, true);
    OnVolumeNotice(u"E", Root, false);
    EXPECT_EQ(LogText(), u"  Device Drive E\r\n  Device Drive E");
    EXPECT_FALSE(std::filesystem::exists(Copied()));
}

TEST_F(DeviceArrival, RemovalKeepsThePendingCopyForTheBoardsDrive) {
    App.FirmwarePending = true;
    WriteBytes(Copied(), "an older image, longer than the new one");
    OnVolumeNotice(u"/media/stick", PathText(Files / "stick") + u"/", false);
    EXPECT_TRUE(App.FirmwarePending);
    OnVolumeNotice(u"/media/nowhere", u"", true);  // no root to copy to
    EXPECT_TRUE(App.FirmwarePending);

    auto start = std::chrono::steady_clock::now();
    OnVolumeNotice(u"/media/RPI-RP2", Root, true);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 990);
    EXPECT_FALSE(App.FirmwarePending);
    EXPECT_EQ(ReadBytes(Copied()), Uf2Image(1));
    EXPECT_EQ(LogText(),
              u"  Device Drive /media/stick\r\n  Device Drive /media/nowhere\r\n"
              u"  Device Drive /media/RPI-RP2\r\n" +
                  Root + u"firmware.uf2");

    // One copy per reset: the next drive gets nothing.
    std::filesystem::remove(Copied());
    OnVolumeNotice(u"/media/RPI-RP2", Root, true);
    EXPECT_FALSE(std::filesystem::exists(Copied()));
}

TEST_F(DeviceArrival, FailedCopyIsLogged) {
    App.FirmwarePending = true;
    Text vanished = PathText(Files / "vanished") + u"/";
    OnVolumeNotice(u"F:", vanished, true);
    EXPECT_FALSE(App.FirmwarePending);
    ASSERT_EQ(LogLineCount(), 3);
    EXPECT_TRUE(LogText().ends_with(
        u"\r\n" + vanished + u"firmware.uf2\r\nFirmware copy failed: " +
        TextFromAnsi(std::make_error_code(std::errc::no_such_file_or_directory).message())))
        << Utf8FromText(LogText());

    // A link planted in the drive under the file's name is not written through.
    WriteBytes(Files / "victim.txt", "kept");
    std::filesystem::create_symlink(Files / "victim.txt", Copied());
    App.FirmwarePending = true;
    EXPECT_FALSE(OnVolumeNotice(u"E", Root, true));
    EXPECT_EQ(ReadBytes(Files / "victim.txt"), "kept");
    EXPECT_TRUE(LogText().ends_with(
        u"Firmware copy failed: it is a symbolic link; it is not written through"));
}

}  // namespace
