#include "source/files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path PathOf(TextView t) {
    return fs::path(std::u16string(t));
}

size_t LastSeparator(TextView path) {
    return path.find_last_of(u"/\\");
}
}  // namespace

std::optional<std::string> ReadWholeFile(TextView path) {
    if (path.empty()) return std::nullopt;
    std::error_code ec;
    fs::path p = PathOf(path);
    if (fs::is_directory(p, ec)) return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool WriteWholeFile(TextView path, std::string_view bytes) {
    if (path.empty()) return false;
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool ReplaceFileAtomically(TextView path, std::string_view bytes) {
    if (path.empty()) return false;
    fs::path target = PathOf(path);
    fs::path temporary = target;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (out.fail()) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);  // replaces the old file in one step
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

bool FileExists(TextView path) {
    std::error_code ec;
    return !path.empty() && fs::exists(PathOf(path), ec);
}

Text FolderOfPath(TextView path) {
    size_t cut = LastSeparator(path);
    return cut == TextView::npos ? Text() : Text(path.substr(0, cut + 1));
}

Text FileNameOfPath(TextView path) {
    size_t cut = LastSeparator(path);
    return Text(cut == TextView::npos ? path : path.substr(cut + 1));
}

Text LowerExtension(TextView path) {
    size_t dot = path.rfind(u'.');
    return dot == TextView::npos ? Text() : LowerText(path.substr(dot + 1));
}
