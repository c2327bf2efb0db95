#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "source/files.h"

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
    if (entry == kManualEntry) return true;
    size_t bar = entry.find(u'|');
    if (bar == TextView::npos) return false;
    TextView options = entry.substr(bar + 1);
    return !options.substr(0, options.find(u'|')).empty();
}

Text SettingsText(TextView family, const Settings& values) {
    Text out = u"\uFEFF\r\n";
    for (size_t i = 0; i < std::size(kSettingKeys); ++i) {
        const SettingKey& key = kSettingKeys[i];
        if (i == 0 || key.Group != kSettingKeys[i - 1].Group) {
            PutHeader(out, GroupOf(key, family), i == 0);
            if (!key.HeaderNote.empty()) out += Text(key.HeaderNote) + u"\r\n";
        }
        if (key.TextField)
            PutKey(out, key.Key, values.*key.TextField);
        else if (!key.OmitZero || values.*key.IntegerField != 0)
            PutKey(out, key.Key, values.*key.IntegerField);
    }
    // Kept entries are numbered in the order written, so skipped ones leave no gap; a list
    // grown past Device50 is written in full even though a load reads only up to Device50.
    long long n = 0;
    for (const Text& entry : values.Collection)
        if (IsCollectionEntryKept(entry)) PutKey(out, CollectionKey(n++), entry);
    return out;
}

}  // namespace

Text SaveSettings(TextView path, TextView family, const Settings& values) {
    // What was not read (a device, a FIFO, a huge file) is not replaced either.
    if (Text refusal = ReadRefusal(path, kSettingsFileLimit); !refusal.empty()) return refusal;
    // The per-user settings folder may not exist yet on a fresh account; when it cannot be
    // made, the write below fails and says so.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(FolderOfPath(path)), ignored);
    // The new file is written beside the old one and renamed over it, so a full disk or a
    // crash half-way leaves the old settings whole; a read-only file stays as it is.
    if (!ReplaceFileAtomically(path, Utf8FromText(SettingsText(family, values))))
        return u"\"" + Text(path) + u"\" could not be written";
    return Text();
}
