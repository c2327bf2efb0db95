#include "board/store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string StorePath(const Board& board, const std::string& name) {
    return board.Options.Store + "/" + name;
}

}  // namespace

bool OpenStore(Board& board) {
    if (board.Options.Store.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(board.Options.Store, ec);
    std::string path = StorePath(board, "transcript.log");
    board.Transcript =
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (board.Transcript < 0) {
        LogStatus("cannot write " + path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

void CloseStore(Board& board) {
    if (board.Transcript >= 0) close(board.Transcript);
    board.Transcript = -1;
}

void RecordReceived(Board& board, const uint8_t* bytes, int count) {
    if (board.Transcript < 0) return;
    // Written at once so that a test reading the transcript sees every byte so far.
    while (count > 0) {
        ssize_t n = write(board.Transcript, bytes, static_cast<size_t>(count));
        if (n <= 0 && errno != EINTR) return;
        if (n > 0) {
            bytes += n;
            count -= static_cast<int>(n);
        }
    }
}

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (char ch : name)
        if (ch == '/' || ch == '\\' || static_cast<unsigned char>(ch) < 0x20) return false;
    return true;
}

bool WriteStoreFile(Board& board, const std::string& name, const std::string& bytes) {
    if (board.Options.Store.empty()) return true;
    // Written beside the target and renamed over it, so a reader never sees half a file.
    std::string path = StorePath(board, name);
    std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            LogStatus("cannot write " + path);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) LogStatus("cannot write " + path + ": " + ec.message());
    return !ec;
}

void RemoveStoreFile(Board& board, const std::string& name) {
    if (board.Options.Store.empty()) return;
    std::error_code ec;
    std::filesystem::remove(StorePath(board, name), ec);
}

bool ReadStoreFile(const Board& board, const std::string& name, std::string& bytes) {
    if (board.Options.Store.empty()) return false;
    std::ifstream in(StorePath(board, name), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

void AppendClockLine(Board& board, const std::string& line) {
    LogStatus("clock set: " + line);
    if (board.Options.Store.empty()) return;
    std::ofstream out(StorePath(board, "clock.txt"), std::ios::binary | std::ios::app);
    out << line << "\n";
}
