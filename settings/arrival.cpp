#include <filesystem>
#include <system_error>

#include "app/state.h"
#include "link/clock.h"
#include "settings/ports.h"
#include "source/files.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

// Copies the firmware file over any file of that name; the reason of a failure, or an
// empty text when the copy succeeded.
Text CopyFirmware(TextView from, TextView to) {
    std::error_code ec;
    fs::copy_file(fs::path(Text(from)), fs::path(Text(to)), fs::copy_options::overwrite_existing,
                  ec);
    if (!ec) return Text();
    Text reason = TextFromAnsi(ec.message());
    return reason.empty() ? Text(u"error ") + DecimalText(ec.value()) : reason;
}

}  // namespace

void OnPortNotice(TextView name, bool arrived) {
    AppendLog(u"Port: " + Text(name) + (arrived ? u" inserted" : u" removed"));
    RefreshPortBox();
}

void OnVolumeNotice(TextView label, TextView root, bool arrived) {
    AppendLog(u"  Device Drive " + Text(label));
    // Only a drive that appears can be the board in firmware mode; a stick pulled out while
    // the board is still resetting must not use up the one copy. A drive without a root
    // gives no place to copy to (the copy would land in the current folder).
    if (!App.FirmwarePending || !arrived || root.empty()) return;
    App.FirmwarePending = false;
    DelayMs(1000);  // the board's drive needs a moment before it takes files
    Text target = Text(root) + FileNameOfPath(App.ProgramPath);
    AppendLog(target);
    Text failure = CopyFirmware(App.ProgramPath, target);
    if (!failure.empty()) AppendLog(u"Firmware copy failed: " + failure);
}
