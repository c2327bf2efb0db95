// Puts the core back to a freshly started program for a test: the application state at its
// start-up values, the headless window layer silent, an empty log and a new control model.
#pragma once

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "ui/controls.h"
#include "ui/log.h"

inline void StartFreshCore() {
    Cli = CliWindowOptions();
    Cli.LogOut = nullptr;
    ResetAppState();
    ForgetStop();
    SetCancelEverywhere(false);
    BuildControls();
    ClearLog();
}
