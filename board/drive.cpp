#include "board/drive.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/console.h"
#include "board/pty.h"
#include "board/wire.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kRebootUs = 500 * 1000;
constexpr int64_t kNoDriveRebootUs = 2000 * 1000;

std::string MountLine(const Board& board) {
    return "/dev/qzboard " + fs::absolute(board.Options.DriveDir).lexically_normal().string() +
           " vfat rw 0 0";
}

void RemoveMountLine(const Board& board) {
    if (board.Options.MountsFile.empty()) return;
    std::ifstream in(board.Options.MountsFile, std::ios::binary);
    std::string line, kept, ours = MountLine(board);
    bool found = false;
    while (std::getline(in, line)) {
        if (line == ours)
            found = true;
        else
            kept += line + "\n";
    }
    in.close();
    if (found) std::ofstream(board.Options.MountsFile, std::ios::binary | std::ios::trunc) << kept;
}

uint32_t Word(const std::string& bytes, size_t at) {
    uint32_t w = 0;
    for (int i = 3; i >= 0; --i)
        w = (w << 8) | static_cast<uint8_t>(bytes[at + size_t(i)]);
    return w;
}

// The number of well-formed 512-byte UF2 blocks, or -1 when the file is not a UF2 image.
long CountUf2Blocks(const std::string& bytes) {
    if (bytes.empty() || bytes.size() % 512 != 0) return -1;
    for (size_t at = 0; at < bytes.size(); at += 512)
        if (Word(bytes, at) != 0x0A324655 || Word(bytes, at + 4) != 0x9E5D5157 ||
            Word(bytes, at + 508) != 0x0AB16F30)
            return -1;
    return static_cast<long>(bytes.size() / 512);
}

void InstallFirmware(Board& board, const std::string& name) {
    fs::path dir = board.Options.DriveDir;
    std::ifstream in(dir / name, std::ios::binary);
    std::stringstream image;
    image << in.rdbuf();
    std::string bytes = image.str();
    long blocks = CountUf2Blocks(bytes);
    fs::path parent = fs::absolute(dir).lexically_normal().parent_path();
    std::ofstream(parent / "installed-firmware.uf2", std::ios::binary | std::ios::trunc) << bytes;
    std::ofstream(parent / "installed-firmware.txt", std::ios::binary | std::ios::trunc)
        << "file " << name << "\nbytes " << bytes.size() << "\nuf2-blocks " << blocks << "\n";
    LogStatus("firmware " + name + " written to the drive: " + std::to_string(bytes.size()) +
              " bytes, " + (blocks < 0 ? "not a UF2 image" : std::to_string(blocks) + " blocks"));
    std::error_code ec;
    fs::remove(dir / name, ec);
}

void OpenDrive(Board& board) {
    fs::path dir = board.Options.DriveDir;
    std::error_code ec;
    board.Drive.MadeDir = fs::create_directories(dir, ec);
    std::ofstream(dir / "INFO_UF2.TXT", std::ios::binary | std::ios::trunc)
        << "UF2 Bootloader v1.0\r\nModel: qz-board\r\nBoard-ID: QZ-BOARD\r\n";
    board.Drive.Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (board.Drive.Watch >= 0)
        inotify_add_watch(board.Drive.Watch, dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    if (!board.Options.MountsFile.empty())
        std::ofstream(board.Options.MountsFile, std::ios::binary | std::ios::app)
            << MountLine(board) << "\n";
    LogStatus("firmware drive mode: drive at " + dir.string());
}

// The first *.uf2 file closed after writing or moved into the drive, or empty.
std::string WrittenFirmware(Board& board) {
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    std::string found;
    while ((n = read(board.Drive.Watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            std::string name = event->len ? event->name : "";
            std::string ext = fs::path(name).extension().string();
            for (char& ch : ext)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (found.empty() && ext == ".uf2") found = name;
            p += sizeof(inotify_event) + event->len;
        }
    }
    return found;
}

void Reopen(Board& board) {
    if (!OpenSerialPort(board)) return;  // tried again at the next tick
    board.Phase = BoardPhase::Serial;
    StartConsole(board);
    LogStatus("rebooted");
}

}  // namespace

void EnterDriveMode(Board& board) {
    LogStatus("1200 baud set: resetting into firmware drive mode");
    CloseSerialPort(board);
    board.Phase = BoardPhase::Drive;
    if (board.Options.DriveDir.empty()) {
        board.Phase = BoardPhase::Rebooting;
        board.Drive.ReturnUs = NowUs() + kNoDriveRebootUs;
        return;
    }
    OpenDrive(board);
}

void DriveTick(Board& board) {
    if (board.Phase == BoardPhase::Rebooting) {
        if (NowUs() >= board.Drive.ReturnUs) Reopen(board);
        return;
    }
    if (board.Phase != BoardPhase::Drive || board.Drive.Watch < 0) return;
    std::string firmware = WrittenFirmware(board);
    if (firmware.empty()) return;
    InstallFirmware(board, firmware);
    LeaveDriveMode(board);
    board.Phase = BoardPhase::Rebooting;
    board.Drive.ReturnUs = NowUs() + kRebootUs;
}

void LeaveDriveMode(Board& board) {
    if (board.Drive.Watch < 0) return;
    close(board.Drive.Watch);
    board.Drive.Watch = -1;
    fs::path dir = board.Options.DriveDir;
    std::error_code ec;
    fs::remove(dir / "INFO_UF2.TXT", ec);
    if (board.Drive.MadeDir) fs::remove(dir, ec);  // only when empty: never a user's files
    RemoveMountLine(board);
}

void VanishFromLine(Board& board) {
    LogStatus("vanishing from the line after " + std::to_string(board.Console.ProgramLines) +
              " program lines");
    WriteDueBytes(board, true);
    CloseSerialPort(board);
    board.Phase = BoardPhase::Vanished;
}
