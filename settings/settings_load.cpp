#include <string>

#include "app/state.h"
#include "settings/settings.h"
#include "settings/settings_doc.h"
#include "settings/settings_keys.h"
#include "source/files.h"

namespace {

std::vector<Text> notes;

// The "My collection" list as stored: Device0 always gives the first entry; Device1 to
// Device50 follow when present and not empty, so missing numbers leave no gap.
void LoadCollection(const SettingsDocument& doc, const AppState& defaults) {
    App.Collection.clear();
    App.Collection.push_back(
        TextSetting(doc, kCollectionGroup, CollectionKey(0), defaults.Collection.front()));
    for (int n = 1; n <= 50; ++n) {
        Text entry = TextSetting(doc, kCollectionGroup, CollectionKey(n), u"");
        if (!entry.empty()) App.Collection.push_back(entry);
    }
}

}  // namespace

void LoadSettings(TextView path) {
    Text file = path.empty() ? SettingsFilePath() : Text(path);
    notes.clear();
    if (Text refusal = ReadRefusal(file, kSettingsFileLimit); !refusal.empty())
        notes.push_back(u"Settings not read: " + refusal);
    // A missing or unreadable file reads as an empty document: every key takes its default.
    SettingsDocument doc =
        ParseSettingsDocument(ReadWholeFile(file, kSettingsFileLimit).value_or(std::string()));
    const AppState defaults;
    for (const SettingKey& key : kSettingKeys) {
        if (key.TextField)
            App.*key.TextField = TextSetting(doc, GroupOf(key), key.Key, defaults.*key.TextField);
        else
            App.*key.IntegerField =
                IntegerSetting(doc, GroupOf(key), key.Key, defaults.*key.IntegerField);
    }
    LoadCollection(doc, defaults);
    App.MainWStored = HasSetting(doc, u"Windows", u"MainW");

    // LineDelay as stored is a whole number of milliseconds; a hand-edited "-5", "1e9" or
    // "0x200" is not read by its leading digits without a word.
    Text lineDelay;
    for (const SettingKey& key : kSettingKeys)
        if (key.IntegerField == &AppState::LineDelay)
            lineDelay = TrimBlanks(TextSetting(doc, GroupOf(key), key.Key, u""));
    size_t digits = lineDelay.find_first_not_of(u"+-") == 1 ? 1 : 0;
    bool whole = lineDelay.size() > digits &&
                 lineDelay.find_first_not_of(u"0123456789", digits) == Text::npos;
    // Every wait of an upload is a multiple of LineDelay; below 100 ms boards drop lines.
    // Above a minute, the PIN probe alone (three delays) or a hand-edited typo would hang
    // the tool for hours.
    if (!lineDelay.empty() && !whole)
        notes.push_back(u"LineDelay \"" + lineDelay +
                        u"\" is not a whole number of milliseconds; 100 ms is used.");
    else if (!lineDelay.empty() && App.LineDelay < 100)
        notes.push_back(u"LineDelay " + DecimalText(App.LineDelay) +
                        u" ms is too short; 100 ms is used.");
    if (App.LineDelay < 100 || (!lineDelay.empty() && !whole)) App.LineDelay = 100;
    if (App.LineDelay > kMaxLineDelay) {
        notes.push_back(u"LineDelay " + DecimalText(App.LineDelay) + u" ms is too long; " +
                        DecimalText(kMaxLineDelay) + u" ms is used.");
        App.LineDelay = kMaxLineDelay;
    }
}

std::vector<Text> TakeSettingsNotes() {
    std::vector<Text> taken;
    taken.swap(notes);
    return taken;
}
