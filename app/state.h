// The application state: the one record of settings, profile fields, program text and
// paths that every subsystem reads and writes. Everything runs on one thread, so it is not
// locked. Only this module owns it; the other modules reach it through `App`.
#pragma once

#include <string>
#include <vector>

#include "app/profiles.h"
#include "source/text.h"

// The board dialogue's interrupt (Ctrl-C).
inline constexpr char16_t kCtrlC = 0x03;
// The value of a port setting that names no port.
inline constexpr TextView kNotSet = u"not set";
// The collection entry that stands for the device-type box.
inline constexpr TextView kManualEntry = u"Manual entry";

struct AppState {
    // Settings (filled by LoadSettings, saved at exit).
    Text Comport = Text(kNotSet);
    Text SerialSpeed = u"38400";
    Text Device = Text(kDefaultProfile.Name);
    int LineDelay = 120;
    Text PicoPort = Text(kNotSet);
    Text TextTypes = u"bas txt inc";
    int MainX = 200, MainY = 200, MainW = 468, MainH = 287;
    // The settings file gave the window's width: a first start (false) lets a window that
    // lays out its controls itself open as wide as they need.
    bool MainWStored = false;
    int StayConnected = 0;  // 1: the window's log pane is the board's console between jobs
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
    bool Fast = false;          // paced by the board's replies as they arrive, not by fixed waits
    bool ConfirmsSave = false;  // the board says "Saved" when the end sequence stored it
    bool ViaXmodem = false;     // the program text goes by XMODEM instead of program entry

    // Program text and paths.
    Text ProgramText;
    Text ProgramPath;
    bool TextFromPaste = false;
    Text ProgramFolder;  // ends with the path separator

    bool ProgramButtonHidden = true;
    bool FirmwarePending = false;
    bool FastAlways = false;  // every upload in fast mode (qz-upload --fast)
    bool Verify = false;      // read the stored program back before RUN (qz-upload --verify)
    // RUN goes out without a wait for its reply: a console that follows the job shows all of
    // the reply as it comes, rather than one read of it.
    bool RunReplyToConsole = false;
    bool XmodemAlways = false;  // every program by XMODEM (qz-upload --via xmodem)
    // How many times an upload starts again after a line the board took wrongly or did not
    // echo: once in the windows, as qz-upload --retry says there.
    int Retries = 1;

    // The "My collection" list (NAME|OPTIONS texts) and the discovered port names.
    std::vector<Text> Collection{Text(kManualEntry)};
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

// A "My collection" entry, "NAME|OPTIONS": the text before the first "|", and the text after
// it up to a further "|" (empty without a "|").
struct CollectionEntryParts {
    Text Name;
    Text Options;
};
CollectionEntryParts SplitCollectionEntry(TextView entry);
