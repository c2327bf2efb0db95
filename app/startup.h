// Start-up and ending. A front end calls StartupBeforeWindow, builds its window from the
// control model (BuildControls, ui/controls.h), calls StartupAfterWindow, installs its
// device-change watching, runs its event loop, and calls FinishAfterClose when the window
// was closed while no command ran.
#pragma once

#include <vector>

#include "source/text.h"

// Lists, ProgramFolder, channel buffers, the command line as ProgramPath, the fixed texts,
// the settings file (`settingsPath` empty: the usual place).
void StartupBeforeWindow(const std::vector<Text>& parameters, TextView settingsPath = u"");
// Fills the port box and, when the command line named a file, flashes or uploads it.
void StartupAfterWindow();
// Saves the settings, closes the port, releases the buffers and pauses 50 ms.
void FinishAfterClose(TextView settingsPath = u"");
