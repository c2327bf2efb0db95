// The application state: the one record of settings, profile fields, program text and
// paths that every subsystem reads and writes. Everything runs on one thread, so it is not
// locked. Only this module owns it; the other modules reach it through `App`.
#pragma once

#include <string>
#include <vector>

#include "source/text.h"

// Control characters used by the device profiles and the board dialogue.
inline constexpr char16_t kCtrlC = 0x03;
inline constexpr char16_t kCtrlZ = 0x1A;

struct AppState {
    // Settings (filled by LoadSettings, saved at exit).
    Text Comport = u"not set";
    Text SerialSpeed = u"38400";
    Text Device = u"micromite";
    int LineDelay = 120;
    Text PicoPort = u"not set";
    Text TextTypes = u"bas txt inc";
    int MainX = 200, MainY = 200, MainW = 468, MainH = 287;
    int LastUsed = 0;
    int MaximumComPort = 32;  // kept only: read at start-up and written back unchanged

    // Profile fields of the current upload; reset by every upload job.
    Text StartCommand;
    Text EndSequence;
    Text TargetName;
    bool NoNew = false;
    bool NoRun = false;
    bool SetTime = false;
    bool SetRtc = false;
    bool Fast = false;  // paced by the board's replies as they arrive, not by fixed waits

    // Program text and paths.
    Text ProgramText;
    Text ProgramPath;
    bool TextFromPaste = false;
    Text ProgramFolder;  // ends with the path separator

    bool ProgramButtonHidden = true;
    bool FirmwarePending = false;
    bool FastAlways = false;  // every upload in fast mode (qz-upload --fast)

    // The "My collection" list (NAME|OPTIONS texts) and the discovered port names.
    std::vector<Text> Collection{u"Manual entry"};
    std::vector<Text> PortList;

    // Fixed texts.
    Text WindowTitle = u"QZ Program Uploader";
    Text BoardFamily = u"Micromite";
    Text StartedMessage = u"Micromite upload started";
    Text CompletedMessage = u"Micromite upload completed";
    Text SettingsFileName = u"Pellimor.inf";
};

extern AppState App;

// Puts the whole record back to its start-up values (used between runs in one process,
// for example by tests).
void ResetAppState();

// The command-line joining rule: parameters joined in order, each preceded by ",", the
// leading "," dropped.
Text JoinCommandLine(const std::vector<Text>& parameters);
