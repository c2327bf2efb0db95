// The main window's controls as the portable core sees them: what each drop-down list
// holds and has selected, the collection entry text, the progress label and which buttons
// are shown. Every front end renders this model (RenderControl, ui/window.h) and writes
// the user's choices back into it before it calls the matching command (app/commands.h).
#pragma once

#include <vector>

#include "source/text.h"

enum class ControlId {
    PortBox,
    BaudBox,
    DeviceBox,
    CollectionBox,
    CollectionEntry,
    ProgressLabel,
    ProgramButton,
    SecondProgramButton,
    CancelButton,
};

struct ComboBox {
    std::vector<Text> Items;   // the values: what a choice stores
    int Selected = -1;         // -1: no selection, the box shows an empty field
    std::vector<Text> Labels;  // what the box shows for each item; empty: the items themselves
};

struct Controls {
    ComboBox PortBox, BaudBox, DeviceBox, CollectionBox;
    Text CollectionEntry;
    Text ProgressLabel;
    bool ProgramShown = false;
    bool SecondProgramShown = false;
    bool CancelShown = false;
};

extern Controls Window;

// Layout of the main window, in pixels of its inner area.
struct Placement {
    int Left, Top, Width, Height;
};
inline constexpr int kLayoutOffset = 35;  // T: the log pane starts at T + 40
Placement PlaceOf(ControlId id);
Placement LogPanePlacement(int innerWidth, int innerHeight);

inline const std::vector<Text> kBaudItems = {u"4800",   u"9600",   u"19200",  u"38400", u"57600",
                                             u"115200", u"230400", u"460800", u"921600"};

// What the box shows for item `i`.
Text BoxLabel(const ComboBox& box, size_t i);
// The caption of the switch that keeps the port open as the board's console between jobs.
inline constexpr TextView kStayConnectedCaption = u"Stay connected";

// The selected item's text, or empty with no selection.
Text BoxText(const ComboBox& box);
// Selects the item equal to `text` with letter case ignored; no match leaves the selection
// as it was; an empty text removes the selection.
void SelectByText(ComboBox& box, TextView text);
// The NAME of a collection entry: its text up to the first "|".
Text EntryName(TextView entry);

// Changes that the core makes; each updates the model and has the front end render it.
void SetBoxItems(ControlId box, const std::vector<Text>& items,
                 const std::vector<Text>& labels = {});
void SelectBoxText(ControlId box, TextView text);
void SetCollectionEntry(TextView text);
void SetProgressLabel(TextView text);
void ShowButton(ControlId button, bool shown);
ComboBox& BoxOf(ControlId box);

// Builds the model of a freshly opened window from the application state: the fixed
// lists, their selections, the collection list and entry, all three buttons hidden.
void BuildControls();
