#include "ui/controls.h"

#include "ui/view.h"

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
    return Text(entry.substr(0, entry.find(u'|')));
}

ComboBox& BoxOf(View& v, ControlId box) {
    switch (box) {
        case ControlId::BaudBox:
            return v.Window.BaudBox;
        case ControlId::DeviceBox:
            return v.Window.DeviceBox;
        case ControlId::CollectionBox:
            return v.Window.CollectionBox;
        default:
            return v.Window.PortBox;
    }
}

void SetBoxItems(View& v, ControlId box, const std::vector<Text>& items,
                 const std::vector<Text>& labels) {
    ComboBox& b = BoxOf(v, box);
    b.Items = items;
    b.Labels = labels.size() == items.size() ? labels : std::vector<Text>();
    b.Selected = -1;
    v.Front.RenderControl(v.Window, box);
}

void SelectBoxText(View& v, ControlId box, TextView text) {
    SelectByText(BoxOf(v, box), text);
    v.Front.RenderControl(v.Window, box);
}

void SetCollectionEntry(View& v, TextView text) {
    v.Window.CollectionEntry = Text(text);
    v.Front.RenderControl(v.Window, ControlId::CollectionEntry);
}

void SetProgressLabel(View& v, TextView text, long done, long total) {
    v.Window.ProgressLabel = Text(text);
    v.Window.ProgressDone = done;
    v.Window.ProgressTotal = total;
    v.Front.RenderControl(v.Window, ControlId::ProgressLabel);
}

void SetProgress(View& v, long done, long total) {
    v.Window.ProgressLabel =
        (done == 1 ? Text(u" ") : Text()) + DecimalText(done) + u"/" + DecimalText(total);
    v.Window.ProgressDone = done;
    v.Window.ProgressTotal = total;
    v.Front.RenderControl(v.Window, ControlId::ProgressLabel);
}

void ShowButton(View& v, ControlId button, bool shown) {
    switch (button) {
        case ControlId::ProgramButton:
            v.Window.ProgramShown = shown;
            break;
        case ControlId::SecondProgramButton:
            v.Window.SecondProgramShown = shown;
            break;
        case ControlId::CancelButton:
            v.Window.CancelShown = shown;
            break;
        default:
            return;
    }
    v.Front.RenderControl(v.Window, button);
}

void RenderAllControls(View& v) {
    for (ControlId id :
         {ControlId::PortBox, ControlId::BaudBox, ControlId::DeviceBox, ControlId::CollectionBox,
          ControlId::CollectionEntry, ControlId::ProgressLabel, ControlId::ProgramButton,
          ControlId::SecondProgramButton, ControlId::CancelButton})
        v.Front.RenderControl(v.Window, id);
}
