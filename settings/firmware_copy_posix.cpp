#include <filesystem>
#include <system_error>

#include "settings/ports.h"

namespace fs = std::filesystem;

Text CopyFirmwareFile(TextView from, TextView to) {
    std::error_code ec;
    fs::copy_file(fs::path(Text(from)), fs::path(Text(to)), fs::copy_options::overwrite_existing,
                  ec);
    if (!ec) return Text();
    Text reason = TextFromAnsi(ec.message());
    return reason.empty() ? Text(u"error ") + DecimalText(ec.value()) : reason;
}
