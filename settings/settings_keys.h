// The settings file's keys: one row per key, in the order the file lists them. LoadSettings
// reads and SaveSettings writes by this table. A key's default is its field's start-up value
// in AppState; its type is the type of its field.
#pragma once

#include "app/state.h"
#include "source/text.h"

// The group of the "My collection" list: LastUsed, then Device0, Device1, ...
inline constexpr TextView kCollectionGroup = u"myDeviceList";
// The key of collection entry n: this followed by n in decimal.
inline Text CollectionKey(long long n) {
    return u"Device" + DecimalText(n);
}

struct SettingKey {
    TextView Group;  // empty: the board family's group, named by App.BoardFamily
    TextView Key;
    Text AppState::*TextField;    // a text key, or
    int AppState::*IntegerField;  // a number key
    TextView HeaderNote;          // a comment line written under the group's header
    bool OmitZero = false;        // a number key written only when it is not 0, so that a
                                  // file stays as it was until the user turns it on
};

inline constexpr SettingKey kSettingKeys[] = {
    {u"Windows", u"MainX", nullptr, &AppState::MainX, u"; Main Window"},
    {u"Windows", u"MainY", nullptr, &AppState::MainY, u""},
    {u"Windows", u"MainW", nullptr, &AppState::MainW, u""},
    {u"Windows", u"MainH", nullptr, &AppState::MainH, u""},
    {u"Windows", u"StayConnected", nullptr, &AppState::StayConnected, u"", true},
    {u"", u"Comport", &AppState::Comport, nullptr, u""},
    {u"", u"SerialSpeed", &AppState::SerialSpeed, nullptr, u""},
    {u"", u"Device", &AppState::Device, nullptr, u""},
    {u"", u"PicoPort", &AppState::PicoPort, nullptr, u""},
    {u"", u"LineDelay", nullptr, &AppState::LineDelay, u""},
    {u"", u"Maximum com port", nullptr, &AppState::MaximumComPort, u""},
    {u"General", u"TextTypes", &AppState::TextTypes, nullptr, u""},
    {kCollectionGroup, u"LastUsed", nullptr, &AppState::LastUsed, u""},
};

// The group a row is read from and written to.
inline TextView GroupOf(const SettingKey& key) {
    return key.Group.empty() ? TextView(App.BoardFamily) : key.Group;
}
