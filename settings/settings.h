// The settings file: read once at start-up, written once at exit. Pure file I/O: the values
// come back to the caller, and a failure comes back as its reason.
#pragma once

#include <vector>

#include "source/text.h"

// The longest LineDelay used, in ms; longer values are clamped to it.
inline constexpr int kMaxLineDelay = 60000;
// The shortest LineDelay used, in ms; shorter values are raised to it.
inline constexpr int kMinLineDelay = 100;
// The value of a port setting that names no port.
inline constexpr TextView kNotSet = u"not set";
// The collection entry that stands for the device-type box.
inline constexpr TextView kManualEntry = u"Manual entry";

// What the settings file stores. The start-up values are the defaults of a missing key.
struct Settings {
    Text Comport = Text(kNotSet);
    Text SerialSpeed = u"38400";
    Text Device;  // the caller's default device type
    int LineDelay = 120;
    Text PicoPort = Text(kNotSet);
    Text TextTypes = u"bas txt inc";
    int MainX = 200, MainY = 200, MainW = 468, MainH = 287;
    // The file gave the window's width: a first start (false) lets a window that lays out
    // its controls itself open as wide as they need.
    bool MainWStored = false;
    int StayConnected = 0;  // 1: the window's log pane is the board's console between jobs
    int LastUsed = 0;
    int MaximumComPort = 32;  // kept only: read at start-up and written back unchanged
    // The "My collection" list (NAME|OPTIONS texts); the first entry is kManualEntry.
    std::vector<Text> Collection{Text(kManualEntry)};
};

// Where the settings file lives on this platform (settings_path_posix.cpp, _win32.cpp), for
// a program in `programFolder` (ExecutableFolder() when empty) and the file name `fileName`.
// Windows: in the program's folder. POSIX: in the program's folder when a settings file is
// already there (a portable install), otherwise $XDG_CONFIG_HOME (by default ~/.config),
// because the program's folder is usually not writable there.
Text SettingsFilePath(TextView programFolder, TextView fileName);
// Platform: the folder of the running executable, ending with its path separator; empty
// when it cannot be found.
Text ExecutableFolder();

struct LoadedSettings {
    Settings Values;
    // What the load had to tell the user (a refused file, a value it clamped), for the log.
    std::vector<Text> Notes;
    // False for a file that was refused (not a regular file, larger than 1 MB): it is then
    // not written at exit either.
    bool Writable = true;
};
// Reads the file at `path`; what is missing takes its value in `defaults`. `family` names
// the group of the board's own keys. Cannot fail.
LoadedSettings LoadSettings(TextView path, TextView family, const Settings& defaults);
// Writes the whole file. Replaces the old file only once the new one is written in full.
// Returns why it could not, empty when it was written.
Text SaveSettings(TextView path, TextView family, const Settings& values);
