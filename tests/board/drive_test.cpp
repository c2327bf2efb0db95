#include <filesystem>
#include <fstream>

#include "board_fixture.h"

namespace fs = std::filesystem;

namespace {

using Drive = BoardTest;

void PutWord(std::string& bytes, size_t at, uint32_t word) {
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = static_cast<char>(word >> (8 * i));
}

// A UF2 image of `blocks` 512-byte blocks with the three magic words in place.
std::string Uf2Image(int blocks) {
    std::string image(size_t(blocks) * 512, '\x5a');
    for (int b = 0; b < blocks; ++b) {
        PutWord(image, size_t(b) * 512, 0x0A324655);
        PutWord(image, size_t(b) * 512 + 4, 0x9E5D5157);
        PutWord(image, size_t(b) * 512 + 508, 0x0AB16F30);
    }
    return image;
}

bool HasLine(const fs::path& file, const std::string& line) {
    std::ifstream in(file);
    for (std::string l; std::getline(in, l);)
        if (l == line) return true;
    return false;
}

TEST_F(Drive, ResetAt1200BaudBecomesADriveAndComesBackAfterFirmware) {
    fs::path link = fs::temp_directory_path() / ("qz-board-drive-" + std::to_string(getpid()));
    fs::path work = fs::temp_directory_path() / ("qz-board-drive-dir-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::path drive = work / "RPI-RP2", mounts = work / "mounts";
    std::ofstream(mounts) << "/dev/sda1 / ext4 rw 0 0\n";
    Start(
        {"--link", link.string(), "--drive-dir", drive.string(), "--mounts-file", mounts.string()});
    // A normal session at 115200 baud does nothing special.
    EXPECT_EQ(Say("\x03"), "\r\n> ");
    close(client);
    usleep(100 * 1000);
    EXPECT_TRUE(fs::exists(fs::symlink_status(link)));

    // The firmware reset: open at 115200, close, open at 1200.
    client = OpenClient(link.string(), 115200);
    close(client);
    usleep(200 * 1000);
    client = OpenClient(link.string(), 1200);
    ASSERT_GE(client, 0);
    std::string mountLine = "/dev/qzboard " + drive.string() + " vfat rw 0 0";
    ASSERT_TRUE(WaitUntil([&] { return HasLine(mounts, mountLine); })) << BoardLog(board);
    EXPECT_TRUE(fs::exists(drive / "INFO_UF2.TXT"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_LT(OpenClient(board.SlavePath), 0);
    close(client);
    client = -1;

    std::string image = Uf2Image(3);
    std::ofstream(drive / "firmware.uf2", std::ios::binary) << image;
    std::string newPath = ReadBoardLine(board, 5000);
    ASSERT_FALSE(newPath.empty()) << BoardLog(board);
    EXPECT_EQ(FileText(work / "installed-firmware.uf2"), image);
    EXPECT_EQ(FileText(work / "installed-firmware.txt"),
              "file firmware.uf2\nbytes 1536\nuf2-blocks 3\n");
    EXPECT_FALSE(HasLine(mounts, mountLine));
    EXPECT_TRUE(HasLine(mounts, "/dev/sda1 / ext4 rw 0 0"));
    EXPECT_FALSE(fs::exists(drive));
    EXPECT_EQ(fs::read_symlink(link), newPath);

    // Back as a serial port.
    client = OpenClient(link.string());
    ASSERT_GE(client, 0);
    EXPECT_EQ(Say("\x03"), "\r\n> ");
    EXPECT_EQ(StopBoard(board), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    fs::remove_all(work);
}

TEST_F(Drive, NonUf2FileIsRecordedAndExitRemovesTheMountLine) {
    fs::path work = fs::temp_directory_path() / ("qz-board-exit-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    Start({"--drive-dir", (work / "drive").string(), "--mounts-file", (work / "m").string()});
    close(client);
    client = OpenClient(board.SlavePath, 1200);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(work / "drive" / "INFO_UF2.TXT"); }));
    close(client);
    // A file that is no UF2 image is taken all the same, and recorded as such.
    std::ofstream(work / "drive" / "JUNK.UF2") << "not firmware";
    std::string port = ReadBoardLine(board, 5000);
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(FileText(work / "installed-firmware.txt"),
              "file JUNK.UF2\nbytes 12\nuf2-blocks -1\n");
    // Into the drive mode again, and the board is stopped there.
    client = OpenClient(port, 1200);
    // The drive's files come first, then its line in the mount table, as a real drive is
    // filled before it is mounted.
    ASSERT_TRUE(WaitUntil([&] {
        return fs::exists(work / "drive" / "INFO_UF2.TXT") && !FileText(work / "m").empty();
    }));
    EXPECT_EQ(StopBoard(board), 0);
    EXPECT_EQ(FileText(work / "m"), "");
    EXPECT_FALSE(fs::exists(work / "drive"));
    fs::remove_all(work);
}

}  // namespace
