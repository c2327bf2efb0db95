// The settings file: read once at start-up, written once at exit.
#pragma once

#include "source/text.h"

// Where the settings file lives on this platform (settings_path_posix.cpp, _win32.cpp).
// Windows: in the executable's folder. POSIX: in the executable's folder when a settings
// file is already there (a portable install), otherwise $XDG_CONFIG_HOME (by default
// ~/.config), because the executable's folder is usually not writable there.
Text SettingsFilePath();
// Platform: the folder of the running executable, ending with its path separator; empty
// when it cannot be found. Start-up sets `App.ProgramFolder` from it.
Text ExecutableFolder();

// Fills the settings fields of `App`, the window geometry and the "My collection" list from
// the file at `path` (SettingsFilePath() when empty). Cannot fail: what is missing takes its
// default.
void LoadSettings(TextView path = u"");
// Writes the whole file from `App` (window geometry from CurrentWindowGeometry()). Replaces
// the old file only once the new one is written in full. Reports nothing.
void SaveSettings(TextView path = u"");
