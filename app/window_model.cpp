#include "app/window_model.h"

#include "app/profiles.h"
#include "app/session.h"
#include "ui/controls.h"

void BuildControls(Session& s) {
    Controls& w = s.Window;
    const AppState& app = s.App;
    w = Controls();
    w.BaudBox.Items = kBaudItems;
    w.DeviceBox.Items = DeviceTypeItems();
    SelectByText(w.BaudBox, app.SerialSpeed);
    SelectByText(w.DeviceBox, app.Device);
    for (const Text& entry : app.Collection)
        w.CollectionBox.Items.push_back(EntryName(entry));
    // A LastUsed that names no entry shows the first one rather than failing.
    size_t chosen = app.LastUsed >= 0 && static_cast<size_t>(app.LastUsed) < app.Collection.size()
                        ? static_cast<size_t>(app.LastUsed)
                        : 0;
    if (!app.Collection.empty()) {
        w.CollectionEntry = app.Collection[chosen];
        SelectByText(w.CollectionBox, EntryName(app.Collection[chosen]));
    }
    s.App.ProgramButtonHidden = true;
    RenderAllControls(s);
}
