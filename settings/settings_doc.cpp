#include "settings/settings_doc.h"

#include <algorithm>
#include <climits>

namespace {

// Names match without regard to the case of ASCII letters only, so that the comparison
// does not depend on the locale the program runs in.
Text FoldAscii(TextView name) {
    Text folded(name);
    for (char16_t& c : folded)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
    return folded;
}

bool IsBlankOrTab(char16_t c) {
    return c == u' ' || c == u'\t';
}

TextView TrimBlanksAndTabs(TextView t) {
    while (!t.empty() && IsBlankOrTab(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && IsBlankOrTab(t.back()))
        t.remove_suffix(1);
    return t;
}

Text DecodeSettingsBytes(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return TextFromUtf8(bytes.substr(3));
    Text latin1;
    latin1.reserve(bytes.size());
    for (char b : bytes)
        latin1.push_back(static_cast<unsigned char>(b));
    return latin1;
}

// A key line: the name up to the first "=", the value after it with leading blanks and
// tabs skipped; no "=" gives the whole line as the name and an empty value.
void AddKeyLine(std::unordered_map<Text, Text>& group, TextView line) {
    size_t eq = line.find(u'=');
    TextView name = line.substr(0, eq);
    TextView value = eq == TextView::npos ? TextView() : line.substr(eq + 1);
    while (!name.empty() && IsBlankOrTab(name.back()))
        name.remove_suffix(1);
    while (!value.empty() && IsBlankOrTab(value.front()))
        value.remove_prefix(1);
    group.try_emplace(FoldAscii(name), value);  // a key seen before keeps its first value
}

const Text* FindValue(const SettingsDocument& doc, TextView group, TextView key) {
    auto g = doc.Groups.find(FoldAscii(group));
    if (g == doc.Groups.end()) return nullptr;
    auto k = g->second.find(FoldAscii(key));
    return k == g->second.end() ? nullptr : &k->second;
}

}  // namespace

SettingsDocument ParseSettingsDocument(std::string_view bytes) {
    SettingsDocument doc;
    Text text = DecodeSettingsBytes(bytes);
    // Lines before the first header, and under a repeated header, go nowhere.
    std::unordered_map<Text, Text>* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == Text::npos) end = text.size();
        TextView line = TextView(text).substr(pos, end - pos);
        pos = text.find_first_not_of(u"\r\n", end);
        if (pos == Text::npos) pos = text.size();

        while (!line.empty() && IsBlankOrTab(line.front()))
            line.remove_prefix(1);
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            TextView name = line.substr(1, line.find(u']') - 1);
            auto [group, fresh] = doc.Groups.try_emplace(FoldAscii(name));
            current = fresh ? &group->second : nullptr;
        } else if (current) {
            AddKeyLine(*current, line);
        }
    }
    return doc;
}

Text TextSetting(const SettingsDocument& doc, TextView group, TextView key, TextView fallback) {
    const Text* value = FindValue(doc, group, key);
    return Text(value ? TrimBlanksAndTabs(*value) : fallback);
}

int IntegerSetting(const SettingsDocument& doc, TextView group, TextView key, int fallback) {
    const Text* value = FindValue(doc, group, key);
    if (!value) return fallback;
    return static_cast<int>(std::clamp<long long>(LeadingNumber(*value), INT_MIN, INT_MAX));
}

bool HasSetting(const SettingsDocument& doc, TextView group, TextView key) {
    return FindValue(doc, group, key) != nullptr;
}
