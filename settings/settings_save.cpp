#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#include "app/state.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "source/files.h"
#include "ui/window.h"

namespace {

// One "key = value" line. A line break inside a value would end the line early and turn
// the rest into a line of its own (a key or header of its own choosing), so it is written
// as a blank.
void PutKey(Text& out, TextView key, TextView value) {
    Text flat = ReplaceChar(ReplaceChar(value, u'\r', u' '), u'\n', u' ');
    out += Text(key) + u" = " + flat + u"\r\n";
}

void PutKey(Text& out, TextView key, int value) {
    PutKey(out, key, DecimalText(value));
}

void PutHeader(Text& out, TextView group, bool first) {
    if (!first) out += u"\r\n";
    out += u"[" + Text(group) + u"]\r\n";
}

// Entries with options are worth keeping; a bare name without options is not, except the
// fixed "Manual entry" that stands for the device-type box.
bool IsCollectionEntryKept(TextView entry) {
    return entry == kManualEntry || !SplitCollectionEntry(entry).Options.empty();
}

Text SettingsText() {
    Text out = u"\uFEFF\r\n";
    for (size_t i = 0; i < std::size(kSettingKeys); ++i) {
        const SettingKey& key = kSettingKeys[i];
        if (i == 0 || key.Group != kSettingKeys[i - 1].Group) {
            PutHeader(out, GroupOf(key), i == 0);
            if (!key.HeaderNote.empty()) out += Text(key.HeaderNote) + u"\r\n";
        }
        if (key.TextField)
            PutKey(out, key.Key, App.*key.TextField);
        else if (!key.OmitZero || App.*key.IntegerField != 0)
            PutKey(out, key.Key, App.*key.IntegerField);
    }
    // Kept entries are numbered in the order written, so skipped ones leave no gap; a list
    // grown past Device50 is written in full even though a load reads only up to Device50.
    long long n = 0;
    for (const Text& entry : App.Collection)
        if (IsCollectionEntryKept(entry)) PutKey(out, CollectionKey(n++), entry);
    return out;
}

}  // namespace

void SaveSettings(TextView path) {
    Placement frame = CurrentWindowGeometry();
    App.MainX = frame.Left;
    App.MainY = frame.Top;
    App.MainW = frame.Width;
    App.MainH = frame.Height;

    Text file = path.empty() ? SettingsFilePath() : Text(path);
    // What was not read (a device, a FIFO, a huge file) is not replaced either.
    if (!ReadRefusal(file, kSettingsFileLimit).empty()) return;
    // The per-user settings folder may not exist yet on a fresh account.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(FolderOfPath(file)), ignored);
    // The new file is written beside the old one and renamed over it, so a full disk or a
    // crash half-way leaves the old settings whole; a read-only file stays as it is. A
    // failure is not reported.
    ReplaceFileAtomically(file, Utf8FromText(SettingsText()));
}
