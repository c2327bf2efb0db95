// The settings file as a document of groups and keys, the way it is read: lenient enough
// for hand-edited files, and with lookups that stay cheap however many lines the file holds.
#pragma once

#include <string_view>
#include <unordered_map>

#include "source/text.h"

struct SettingsDocument {
    // Group name -> (key name -> raw value), both names lowercased in their ASCII letters.
    // Only the first header of a group and the first line of a key within it are kept.
    std::unordered_map<Text, std::unordered_map<Text, Text>> Groups;
};

// Splits the file's bytes into groups and keys. UTF-8 after a byte-order mark, otherwise
// one character per byte (ISO 8859-1). Never fails: what it cannot use it skips.
SettingsDocument ParseSettingsDocument(std::string_view bytes);

// The value of a key with leading and trailing blanks and tabs removed; `fallback` only
// when the group or the key is absent (a present, empty value gives an empty text).
Text TextSetting(const SettingsDocument& doc, TextView group, TextView key, TextView fallback);
// The value's leading decimal number (0 when it has none), limited to the range of int;
// `fallback` only when the key is absent.
int IntegerSetting(const SettingsDocument& doc, TextView group, TextView key, int fallback);
// Whether the group holds the key (with any value, an empty one too).
bool HasSetting(const SettingsDocument& doc, TextView group, TextView key);
