#include <string>

#include "app/state.h"
#include "settings/settings.h"
#include "settings/settings_doc.h"
#include "source/files.h"

namespace {

// The "My collection" list as stored: Device0 always gives the first entry; Device1 to
// Device50 follow when present and not empty, so missing numbers leave no gap.
void LoadCollection(const SettingsDocument& doc, const AppState& defaults) {
    App.Collection.clear();
    App.Collection.push_back(
        TextSetting(doc, u"myDeviceList", u"Device0", defaults.Collection.front()));
    for (int n = 1; n <= 50; ++n) {
        Text entry = TextSetting(doc, u"myDeviceList", u"Device" + DecimalText(n), u"");
        if (!entry.empty()) App.Collection.push_back(entry);
    }
}

}  // namespace

void LoadSettings(TextView path) {
    Text file = path.empty() ? SettingsFilePath() : Text(path);
    // A missing or unreadable file reads as an empty document: every key takes its default.
    SettingsDocument doc = ParseSettingsDocument(ReadWholeFile(file).value_or(std::string()));
    const AppState defaults;
    const Text& board = App.BoardFamily;

    App.MainX = IntegerSetting(doc, u"Windows", u"MainX", defaults.MainX);
    App.MainY = IntegerSetting(doc, u"Windows", u"MainY", defaults.MainY);
    App.MainW = IntegerSetting(doc, u"Windows", u"MainW", defaults.MainW);
    App.MainH = IntegerSetting(doc, u"Windows", u"MainH", defaults.MainH);

    App.Comport = TextSetting(doc, board, u"Comport", defaults.Comport);
    App.SerialSpeed = TextSetting(doc, board, u"SerialSpeed", defaults.SerialSpeed);
    App.Device = TextSetting(doc, board, u"Device", defaults.Device);
    App.PicoPort = TextSetting(doc, board, u"PicoPort", defaults.PicoPort);
    App.LineDelay = IntegerSetting(doc, board, u"LineDelay", defaults.LineDelay);
    App.MaximumComPort = IntegerSetting(doc, board, u"Maximum com port", defaults.MaximumComPort);

    App.TextTypes = TextSetting(doc, u"General", u"TextTypes", defaults.TextTypes);

    App.LastUsed = IntegerSetting(doc, u"myDeviceList", u"LastUsed", defaults.LastUsed);
    LoadCollection(doc, defaults);

    // Every wait of an upload is a multiple of LineDelay; below 100 ms boards drop lines.
    if (App.LineDelay < 100) App.LineDelay = 100;
}
