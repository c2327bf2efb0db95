// Start-up and ending of one session. A front end makes its session, calls
// StartupBeforeWindow, builds its window from the control model (BuildControls,
// app/window_model.h), calls StartupAfterWindow, installs its device-change watching, runs
// its event loop, and calls FinishAfterClose when the window was closed while no command ran.
#pragma once

#include <vector>

#include "source/text.h"

struct Session;

// ProgramFolder, the command line as ProgramPath, the settings file (`settingsPath` empty:
// the usual place) into the application state.
void StartupBeforeWindow(Session& s, const std::vector<Text>& parameters,
                         TextView settingsPath = u"");
// Logs what loading the settings had to say, fills the port box and, when the command line
// named a file, flashes or uploads it.
void StartupAfterWindow(Session& s);
// Saves the settings (with the window's geometry now), closes the port and pauses 50 ms.
// Returns why the settings could not be saved, also logged; empty when they were.
Text FinishAfterClose(Session& s, TextView settingsPath = u"");
