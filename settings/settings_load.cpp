#include <string>

#include "settings/settings.h"
#include "settings/settings_doc.h"
#include "settings/settings_keys.h"
#include "source/files.h"

namespace {

// The "My collection" list as stored: Device0 always gives the first entry; Device1 to
// Device50 follow when present and not empty, so missing numbers leave no gap.
std::vector<Text> LoadCollection(const SettingsDocument& doc, const Settings& defaults) {
    std::vector<Text> collection;
    collection.push_back(TextSetting(
        doc, kCollectionGroup, CollectionKey(0),
        defaults.Collection.empty() ? Text(kManualEntry) : defaults.Collection.front()));
    for (int n = 1; n <= 50; ++n) {
        Text entry = TextSetting(doc, kCollectionGroup, CollectionKey(n), u"");
        if (!entry.empty()) collection.push_back(entry);
    }
    return collection;
}

}  // namespace

LoadedSettings LoadSettings(TextView path, TextView family, const Settings& defaults) {
    LoadedSettings loaded;
    Settings& values = loaded.Values;
    values = defaults;
    std::vector<Text>& notes = loaded.Notes;
    if (Text refusal = ReadRefusal(path, kSettingsFileLimit); !refusal.empty()) {
        notes.push_back(u"Settings not read: " + refusal);
        loaded.Writable = false;
    }
    // A missing or unreadable file reads as an empty document: every key takes its default.
    SettingsDocument doc =
        ParseSettingsDocument(ReadWholeFile(path, kSettingsFileLimit).value_or(std::string()));
    for (const SettingKey& key : kSettingKeys) {
        if (key.TextField)
            values.*key.TextField =
                TextSetting(doc, GroupOf(key, family), key.Key, defaults.*key.TextField);
        else
            values.*key.IntegerField =
                IntegerSetting(doc, GroupOf(key, family), key.Key, defaults.*key.IntegerField);
    }
    values.Collection = LoadCollection(doc, defaults);
    values.MainWStored = HasSetting(doc, u"Windows", u"MainW");

    // LineDelay as stored is a whole number of milliseconds; a hand-edited "-5", "1e9" or
    // "0x200" is not read by its leading digits without a word.
    Text lineDelay;
    for (const SettingKey& key : kSettingKeys)
        if (key.IntegerField == &Settings::LineDelay)
            lineDelay = TrimBlanks(TextSetting(doc, GroupOf(key, family), key.Key, u""));
    size_t digits = lineDelay.find_first_not_of(u"+-") == 1 ? 1 : 0;
    bool whole = lineDelay.size() > digits &&
                 lineDelay.find_first_not_of(u"0123456789", digits) == Text::npos;
    // Every wait of an upload is a multiple of LineDelay; below kMinLineDelay boards drop
    // lines. Above a minute, the PIN probe alone (three delays) or a hand-edited typo would
    // hang the tool for hours.
    const Text shortest = DecimalText(kMinLineDelay) + u" ms is used.";
    if (!lineDelay.empty() && !whole)
        notes.push_back(u"LineDelay \"" + lineDelay +
                        u"\" is not a whole number of milliseconds; " + shortest);
    else if (!lineDelay.empty() && values.LineDelay < kMinLineDelay)
        notes.push_back(u"LineDelay " + DecimalText(values.LineDelay) + u" ms is too short; " +
                        shortest);
    if (values.LineDelay < kMinLineDelay || (!lineDelay.empty() && !whole))
        values.LineDelay = kMinLineDelay;
    if (values.LineDelay > kMaxLineDelay) {
        notes.push_back(u"LineDelay " + DecimalText(values.LineDelay) + u" ms is too long; " +
                        DecimalText(kMaxLineDelay) + u" ms is used.");
        values.LineDelay = kMaxLineDelay;
    }
    return loaded;
}
