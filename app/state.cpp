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
