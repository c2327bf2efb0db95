// The settings file's keys: one row per key, in the order the file lists them. LoadSettings
// reads and SaveSettings writes by this table. A key's default is its field's value in the
// defaults the caller hands to LoadSettings; its type is the type of its field.
#pragma once

#include "settings/settings.h"
#include "source/text.h"

// The group of the "My collection" list: LastUsed, then Device0, Device1, ...
inline constexpr TextView kCollectionGroup = u"myDeviceList";
// The key of collection entry n: this followed by n in decimal.
inline Text CollectionKey(long long n) {
    return u"Device" + DecimalText(n);
}

struct SettingKey {
    TextView Group;  // empty: the board family's group
    TextView Key;
    Text Settings::*TextField;    // a text key, or
    int Settings::*IntegerField;  // a number key
    TextView HeaderNote;          // a comment line written under the group's header
    bool OmitZero = false;        // a number key written only when it is not 0, so that a
                                  // file stays as it was until the user turns it on
};

inline constexpr SettingKey kSettingKeys[] = {
    {u"Windows", u"MainX", nullptr, &Settings::MainX, u"; Main Window"},
    {u"Windows", u"MainY", nullptr, &Settings::MainY, u""},
    {u"Windows", u"MainW", nullptr, &Settings::MainW, u""},
    {u"Windows", u"MainH", nullptr, &Settings::MainH, u""},
    {u"Windows", u"StayConnected", nullptr, &Settings::StayConnected, u"", true},
    {u"", u"Comport", &Settings::Comport, nullptr, u""},
    {u"", u"SerialSpeed", &Settings::SerialSpeed, nullptr, u""},
    {u"", u"Device", &Settings::Device, nullptr, u""},
    {u"", u"PicoPort", &Settings::PicoPort, nullptr, u""},
    {u"", u"LineDelay", nullptr, &Settings::LineDelay, u""},
    {u"", u"Maximum com port", nullptr, &Settings::MaximumComPort, u""},
    {u"General", u"TextTypes", &Settings::TextTypes, nullptr, u""},
    {kCollectionGroup, u"LastUsed", nullptr, &Settings::LastUsed, u""},
};

// The group a row is read from and written to, for the board family `family`.
inline TextView GroupOf(const SettingKey& key, TextView family) {
    return key.Group.empty() ? family : key.Group;
}
