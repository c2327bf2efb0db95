#include "ui/controls.h"

#include "app/profiles.h"
#include "app/state.h"
#include "ui/window.h"

Controls Window;

Placement PlaceOf(ControlId id) {
    switch (id) {
        case ControlId::PortBox:
            return {10, 10, 70, 20};
        case ControlId::BaudBox:
            return {90, 10, 60, 20};
        case ControlId::DeviceBox:
            return {160, 10, 90, 20};
        case ControlId::CollectionBox:
            return {260, 10, 150, 20};
        case ControlId::ProgressLabel:
            return {420, 10, 60, 20};
        case ControlId::ProgramButton:
        case ControlId::SecondProgramButton:
        case ControlId::CancelButton:
            return {420, 10, 100, 20};
        case ControlId::CollectionEntry:
            return {10, 40, 300, 20};
    }
    return {0, 0, 0, 0};
}

Placement LogPanePlacement(int w, int h) {
    return {10, kLayoutOffset + 40, w - 20, h - kLayoutOffset - 50};
}

Text BoxLabel(const ComboBox& box, size_t i) {
    if (i < box.Labels.size()) return box.Labels[i];
    return i < box.Items.size() ? box.Items[i] : Text();
}

Text BoxText(const ComboBox& box) {
    if (box.Selected < 0 || box.Selected >= static_cast<int>(box.Items.size())) return Text();
    return box.Items[static_cast<size_t>(box.Selected)];
}

void SelectByText(ComboBox& box, TextView text) {
    if (text.empty()) {
        box.Selected = -1;
        return;
    }
    Text wanted = LowerText(text);
    for (size_t i = 0; i < box.Items.size(); ++i) {
        if (LowerText(box.Items[i]) == wanted) {
            box.Selected = static_cast<int>(i);
            return;
        }
    }
}

Text EntryName(TextView entry) {
    return SplitCollectionEntry(entry).Name;
}

ComboBox& BoxOf(ControlId box) {
    switch (box) {
        case ControlId::BaudBox:
            return Window.BaudBox;
        case ControlId::DeviceBox:
            return Window.DeviceBox;
        case ControlId::CollectionBox:
            return Window.CollectionBox;
        default:
            return Window.PortBox;
    }
}

void SetBoxItems(ControlId box, const std::vector<Text>& items, const std::vector<Text>& labels) {
    BoxOf(box).Items = items;
    BoxOf(box).Labels = labels.size() == items.size() ? labels : std::vector<Text>();
    BoxOf(box).Selected = -1;
    RenderControl(box);
}

void SelectBoxText(ControlId box, TextView text) {
    SelectByText(BoxOf(box), text);
    RenderControl(box);
}

void SetCollectionEntry(TextView text) {
    Window.CollectionEntry = Text(text);
    RenderControl(ControlId::CollectionEntry);
}

void SetProgressLabel(TextView text) {
    Window.ProgressLabel = Text(text);
    RenderControl(ControlId::ProgressLabel);
}

void ShowButton(ControlId button, bool shown) {
    switch (button) {
        case ControlId::ProgramButton:
            Window.ProgramShown = shown;
            break;
        case ControlId::SecondProgramButton:
            Window.SecondProgramShown = shown;
            break;
        case ControlId::CancelButton:
            Window.CancelShown = shown;
            break;
        default:
            return;
    }
    RenderControl(button);
}

void BuildControls() {
    Window = Controls();
    Window.BaudBox.Items = kBaudItems;
    Window.DeviceBox.Items = DeviceTypeItems();
    SelectByText(Window.BaudBox, App.SerialSpeed);
    SelectByText(Window.DeviceBox, App.Device);
    for (const Text& entry : App.Collection)
        Window.CollectionBox.Items.push_back(EntryName(entry));
    // A LastUsed that names no entry shows the first one rather than failing.
    size_t chosen = App.LastUsed >= 0 && static_cast<size_t>(App.LastUsed) < App.Collection.size()
                        ? static_cast<size_t>(App.LastUsed)
                        : 0;
    if (!App.Collection.empty()) {
        Window.CollectionEntry = App.Collection[chosen];
        SelectByText(Window.CollectionBox, EntryName(App.Collection[chosen]));
    }
    App.ProgramButtonHidden = true;
    for (ControlId id :
         {ControlId::PortBox, ControlId::BaudBox, ControlId::DeviceBox, ControlId::CollectionBox,
          ControlId::CollectionEntry, ControlId::ProgressLabel, ControlId::ProgramButton,
          ControlId::SecondProgramButton, ControlId::CancelButton})
        RenderControl(id);
}
