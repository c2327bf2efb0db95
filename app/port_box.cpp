#include "app/port_box.h"

#include <algorithm>

#include "app/session.h"
#include "settings/ports.h"
#include "source/files.h"
#include "ui/controls.h"

namespace {

bool IsListed(const AppState& app, TextView port) {
    Text wanted = LowerText(port);
    return std::any_of(app.PortList.begin(), app.PortList.end(),
                       [&](const Text& p) { return LowerText(p) == wanted; });
}

// A pseudo-terminal (a simulated board, a socat link) or a symbolic link to a port never
// shows up among the system's serial ports. When the chosen port is such a path and it
// exists, it is listed as well, so the port box can still select it. Only names with a path
// separator are tried: a bare name like COM3 would otherwise be looked up in the current
// folder.
void AppendChosenPath(AppState& app) {
    const Text& chosen = app.Comport;
    if (chosen.find_first_of(u"/\\") == Text::npos) return;
    if (!IsListed(app, chosen) && FileExists(chosen)) app.PortList.push_back(chosen);
}

}  // namespace

void RefreshPortBox(Session& s) {
    // The box is emptied first so that it shows no stale port while the message box about
    // a machine without ports is open.
    SetBoxItems(s, ControlId::PortBox, {});
    // One look at the system's ports gives both the list and what is known of each.
    std::vector<PortIdentity> known = ListSerialPortIdentities();
    s.App.PortList.clear();
    for (const PortIdentity& port : known)
        s.App.PortList.push_back(port.Path);
    AppendChosenPath(s.App);
    if (s.App.PortList.empty()) s.Front.ShowMessageBox(u"OOPS!", u"No com ports found");
    // Each port with what the system knows of it; likely boards first, the rest in the
    // system's order. The value chosen stays the port's path.
    std::vector<Text> items, labels, boards, boardLabels;
    for (const Text& port : s.App.PortList) {
        auto it = std::find_if(known.begin(), known.end(),
                               [&](const PortIdentity& p) { return p.Path == port; });
        PortIdentity identity;
        if (it != known.end())
            identity = *it;
        else
            identity.Path = port;
        bool board = LooksLikeBoard(identity);
        (board ? boards : items).push_back(port);
        (board ? boardLabels : labels).push_back(PortLabel(identity));
    }
    boards.insert(boards.end(), items.begin(), items.end());
    boardLabels.insert(boardLabels.end(), labels.begin(), labels.end());
    SetBoxItems(s, ControlId::PortBox, boards, boardLabels);
    SelectBoxText(s, ControlId::PortBox, s.App.Comport);
}
