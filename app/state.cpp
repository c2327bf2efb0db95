#include "app/state.h"

AppState App;

void ResetAppState() {
    App = AppState();
}

Text JoinCommandLine(const std::vector<Text>& parameters) {
    Text joined;
    for (const Text& p : parameters)
        joined += u"," + p;
    return joined.empty() ? joined : joined.substr(1);
}

namespace {
size_t LastSeparator(TextView path) {
    return path.find_last_of(u"/\\");
}
}  // namespace

Text FolderOfPath(TextView path) {
    size_t cut = LastSeparator(path);
    return cut == TextView::npos ? Text() : Text(path.substr(0, cut + 1));
}

Text FileNameOfPath(TextView path) {
    size_t cut = LastSeparator(path);
    return Text(cut == TextView::npos ? path : path.substr(cut + 1));
}

Text LowerExtension(TextView path) {
    size_t dot = path.rfind(u'.');
    return dot == TextView::npos ? Text() : LowerText(path.substr(dot + 1));
}
