#include "app/state.h"

Text JoinCommandLine(const std::vector<Text>& parameters) {
    Text joined;
    for (const Text& p : parameters)
        joined += u"," + p;
    return joined.empty() ? joined : joined.substr(1);
}

CollectionEntryParts SplitCollectionEntry(TextView entry) {
    size_t bar = entry.find(u'|');
    if (bar == TextView::npos) return {Text(entry), Text()};
    TextView rest = entry.substr(bar + 1);
    return {Text(entry.substr(0, bar)), Text(rest.substr(0, rest.find(u'|')))};
}
