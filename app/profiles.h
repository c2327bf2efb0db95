// The device profiles: one row per device type. The rows give the device-type box its
// items, the options line its device words, ApplyDeviceProfile its commands, and every
// upload the values it starts from (the default row).
#pragma once

#include <vector>

#include "source/text.h"

// How a profile's board takes a program.
enum class ProgramEntry {
    // AUTO: each line goes into the program as it comes, and Ctrl-C only ends entry (the
    // lines taken stay in memory).
    Auto,
    // A plain AUTOSAVE: Ctrl-Z ends entry too, and XMODEM RECEIVE without a name takes the
    // program straight into program memory (the board keeps no files).
    Autosave,
    // AUTOSAVE "NAME": the program is saved as the target file.
    NamedAutosave,
    // None: the lines are typed at the prompt as commands.
    AtPrompt,
};

struct DeviceProfile {
    TextView Name;          // the device-type box item and the options line's word
    TextView StartCommand;  // sent before the program
    bool NamesTarget;       // the start command is followed by the target file name in quotes
    TextView EndSequence;   // sent after the program
    // The options line's end sequence when it did not say "norun"; empty: EndSequence.
    TextView RunEndSequence;
    bool NoRun;     // no "RUN" after the upload
    bool NoNew;     // no "NEW" before it
    int WordOrder;  // an options line naming several devices applies them in this order
    // The board says "Saved" when the end sequence stored the program: its answer without
    // it means the program was not saved.
    bool ConfirmsSave;
    ProgramEntry Entry;
};

// "\x03" is Ctrl-C, "\x1a" Ctrl-Z, "\x1b[11~" and "\x1b[12~" the keys F11 and F12.
// picomite: the boards whose prompt comes with terminal modes and whose Ctrl-C abandons
// program entry; picromite keeps its Ctrl-C for the boards that took it, and is told when
// a board answered it without a save.
inline constexpr DeviceProfile kDeviceProfiles[] = {
    {u"maximite", u"AUTO", false, u"\x03", u"", false, false, 1, false, ProgramEntry::Auto},
    {u"micromite", u"AUTOSAVE", false, u"\x1a", u"", false, false, 4, false,
     ProgramEntry::Autosave},
    {u"picromite", u"AUTOSAVE", false, u"\x03", u"", false, false, 3, true, ProgramEntry::Autosave},
    {u"picomite", u"AUTOSAVE", false, u"\x1a", u"", false, false, 6, true, ProgramEntry::Autosave},
    {u"cmm2", u"AUTOSAVE", true, u"\x1b[11~", u"\x1b[12~", true, false, 2, false,
     ProgramEntry::NamedAutosave},
    {u"command", u"", false, u"", u"", true, true, 5, false, ProgramEntry::AtPrompt},
};

// The row every upload starts from before its options are chosen.
inline constexpr const DeviceProfile& kDefaultProfile = kDeviceProfiles[1];

// The device-type box's items: the rows' names in table order.
inline std::vector<Text> DeviceTypeItems() {
    std::vector<Text> items;
    for (const DeviceProfile& profile : kDeviceProfiles)
        items.emplace_back(profile.Name);
    return items;
}
