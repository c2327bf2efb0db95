// The application state of one session: its settings, the profile fields of the current
// upload, the program text and paths. A session's procedures run on one thread, so it is not
// locked.
#pragma once

#include <string>
#include <vector>

#include "app/profiles.h"
#include "settings/settings.h"
#include "source/text.h"

// The board dialogue's interrupt (Ctrl-C).
inline constexpr char16_t kCtrlC = 0x03;
// The settings (the base: filled from the settings file at start-up, saved at exit) and what
// a session adds to them.
struct AppState : Settings {
    AppState() { Device = Text(kDefaultProfile.Name); }

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
    ProgramEntry Entry = kDefaultProfile.Entry;  // how the chosen profile's board takes it
    bool ViaXmodem = false;  // the program text goes by XMODEM instead of program entry

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

    // The discovered port names.
    std::vector<Text> PortList;
    // The settings file was read (or is missing): it may be written at exit. A refused file
    // (not a regular file, too large) is not replaced.
    bool SettingsWritable = true;
    // What loading the settings file had to tell the user, logged once the window shows.
    std::vector<Text> SettingsNotes;

    // Fixed texts.
    Text WindowTitle = u"QZ Program Uploader";
    Text BoardFamily = u"Micromite";
    Text StartedMessage = u"Micromite upload started";
    Text CompletedMessage = u"Micromite upload completed";
    Text SettingsFileName = u"Pellimor.inf";
};

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
