// Puts the core back to a freshly started program for a test: the application state at its
// start-up values, the headless window layer silent, an empty log and a new control model.
#pragma once

#include <memory>
#include <vector>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "ui/controls.h"
#include "ui/log.h"

inline void StartFreshCore() {
    Cli = CliWindowOptions();
    CliHooks = CliWindowHooks();
    Cli.LogOut = nullptr;
    ResetAppState();
    ForgetStop();
    SetCancelEverywhere(false);
    BuildControls();
    ClearLog();
}

// Keeps every piece appended to the log, without the line break before it, in `into`; a
// cleared log empties it.
inline void RecordAppends(std::vector<Text>* into) {
    CliHooks.OnLogAppend = [into](TextView piece) {
        into->emplace_back(LogLineCount() > 1 ? piece.substr(2) : piece);
    };
    CliHooks.OnLogClear = [into] { into->clear(); };
}

// Once the progress label reads `label`, Cancel is pressed at the pump that follows
// `pumpsLater` further pumps (0: the very next pump).
inline void CancelAtLabel(Text label, int pumpsLater) {
    auto at = std::make_shared<long>(-1);
    CliHooks.OnProgressLabel = [at, label, pumpsLater](TextView now) {
        if (now == label) *at = PumpCount() + 1 + pumpsLater;
    };
    CliHooks.OnPump = [at] { return PumpCount() == *at; };
}
