#include <filesystem>
#include <string>
#include <system_error>

#include "app/state.h"
#include "settings/settings.h"
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
    if (entry == u"Manual entry") return true;
    size_t bar = entry.find(u'|');
    if (bar == TextView::npos) return false;
    TextView rest = entry.substr(bar + 1);
    return !rest.substr(0, rest.find(u'|')).empty();
}

Text SettingsText() {
    Text out = u"\uFEFF\r\n";
    PutHeader(out, u"Windows", true);
    out += u"; Main Window\r\n";
    PutKey(out, u"MainX", App.MainX);
    PutKey(out, u"MainY", App.MainY);
    PutKey(out, u"MainW", App.MainW);
    PutKey(out, u"MainH", App.MainH);

    PutHeader(out, App.BoardFamily, false);
    PutKey(out, u"Comport", App.Comport);
    PutKey(out, u"SerialSpeed", App.SerialSpeed);
    PutKey(out, u"Device", App.Device);
    PutKey(out, u"PicoPort", App.PicoPort);
    PutKey(out, u"LineDelay", App.LineDelay);
    PutKey(out, u"Maximum com port", App.MaximumComPort);

    PutHeader(out, u"General", false);
    PutKey(out, u"TextTypes", App.TextTypes);

    PutHeader(out, u"myDeviceList", false);
    PutKey(out, u"LastUsed", App.LastUsed);
    // Kept entries are numbered in the order written, so skipped ones leave no gap; a list
    // grown past Device50 is written in full even though a load reads only up to Device50.
    long long n = 0;
    for (const Text& entry : App.Collection)
        if (IsCollectionEntryKept(entry)) PutKey(out, u"Device" + DecimalText(n++), entry);
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
    // The per-user settings folder may not exist yet on a fresh account.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(FolderOfPath(file)), ignored);
    // The new file is written beside the old one and renamed over it, so a full disk or a
    // crash half-way leaves the old settings whole. A failure is not reported.
    ReplaceFileAtomically(file, Utf8FromText(SettingsText()));
}
