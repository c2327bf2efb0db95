// The main window's controls as the portable core sees them: what each drop-down list
// holds and has selected, the collection entry text, the progress label and which buttons
// are shown. Every front end renders this model (Frontend::RenderControl, ui/frontend.h) and
// writes the user's choices back into it before it calls the matching command.
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
    // The numbers behind a progress label of the form "done/total"; both 0 for any other
    // label, so that a front end never has to read them back out of the text.
    long ProgressDone = 0;
    long ProgressTotal = 0;
    bool ProgramShown = false;
    bool SecondProgramShown = false;
    bool CancelShown = false;
};

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

struct View;

// Changes that the core makes; each updates the view's model and has its front end render it.
void SetBoxItems(View& v, ControlId box, const std::vector<Text>& items,
                 const std::vector<Text>& labels = {});
void SelectBoxText(View& v, ControlId box, TextView text);
void SetCollectionEntry(View& v, TextView text);
// A label ("" clears it) with the count it shows, when it shows one (0 of 0: none).
void SetProgressLabel(View& v, TextView text, long done = 0, long total = 0);
// A count: the label shows "done/total" (the first line's " 1/total" with the leading blank
// it has always had) and the numbers are kept beside it.
void SetProgress(View& v, long done, long total);
void ShowButton(View& v, ControlId button, bool shown);
ComboBox& BoxOf(View& v, ControlId box);
// Every control of the model rendered by the view's front end, as a freshly built window needs.
void RenderAllControls(View& v);
