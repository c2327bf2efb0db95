// The settings file: read once at start-up, written once at exit.
#pragma once

#include <vector>

#include "source/text.h"

// The longest LineDelay used, in ms; longer values are clamped to it.
inline constexpr int kMaxLineDelay = 60000;

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
// default. A file that is not a regular file or is larger than 1 MB is not read, and then
// not written at exit either.
void LoadSettings(TextView path = u"");
// What the last LoadSettings had to tell the user (a refused file, a value it clamped), for
// the log once the window shows it. Taking the notes empties the list.
std::vector<Text> TakeSettingsNotes();
// Writes the whole file from `App` (window geometry from CurrentWindowGeometry()). Replaces
// the old file only once the new one is written in full. Reports nothing.
void SaveSettings(TextView path = u"");
