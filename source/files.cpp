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

Text ReadRefusal(TextView path, std::uintmax_t limit) {
    std::error_code ec;
    fs::path p = PathOf(path);
    fs::file_status status = fs::status(p, ec);
    if (ec || !fs::exists(status)) return Text();
    if (!fs::is_regular_file(status))
        return Text(path) + u" is not a regular file; only files can be read.";
    std::uintmax_t size = fs::file_size(p, ec);
    if (!ec && size > limit)
        return Text(path) + u" is too large (" + DecimalText(static_cast<long long>(size)) +
               u" bytes; at most " + DecimalText(static_cast<long long>(limit)) + u").";
    return Text();
}

std::optional<std::string> ReadWholeFile(TextView path, std::uintmax_t limit) {
    if (path.empty() || !ReadRefusal(path, limit).empty()) return std::nullopt;
    fs::path p = PathOf(path);
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    // The limit holds during the read too, should the file grow or be swapped meanwhile.
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<size_t>(in.gcount()));
        if (bytes.size() > limit) return std::nullopt;
    }
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

bool FileExists(TextView path) {
    std::error_code ec;
    return !path.empty() && fs::exists(PathOf(path), ec);
}

bool NamesDevice(TextView path) {
    std::error_code ec;
    fs::file_status status = fs::status(PathOf(path), ec);
    return !ec && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
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
