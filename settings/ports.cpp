#include "settings/ports.h"

#include <algorithm>

#include "app/state.h"
#include "source/files.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace {

bool IsListed(TextView port) {
    Text wanted = LowerText(port);
    return std::any_of(App.PortList.begin(), App.PortList.end(),
                       [&](const Text& p) { return LowerText(p) == wanted; });
}

// A pseudo-terminal (a simulated board, a socat link) or a symbolic link to a port never
// shows up among the system's serial ports. When the chosen port is such a path and it
// exists, it is listed as well, so the port box can still select it. Only names with a path
// separator are tried: a bare name like COM3 would otherwise be looked up in the current
// folder.
void AppendChosenPath() {
    const Text& chosen = App.Comport;
    if (chosen.find_first_of(u"/\\") == Text::npos) return;
    if (!IsListed(chosen) && FileExists(chosen)) App.PortList.push_back(chosen);
}

}  // namespace

bool IsUsbPort(const PortIdentity& port) {
    return !port.VendorId.empty();
}

bool LooksLikeBoard(const PortIdentity& port) {
    // The ids the boards' own USB serial firmware reports: the RP2040/RP2350 family, the
    // STM32 virtual COM port, and the PIC32's CDC port.
    static const char16_t* const kBoardIds[] = {u"2e8a:", u"0483:5740", u"04d8:000a"};
    Text id = LowerText(port.VendorId + u":" + port.ProductId);
    for (const char16_t* known : kBoardIds)
        if (StartsWith(id, known)) return true;
    return false;
}

Text DescribePort(const PortIdentity& port) {
    Text line = port.Path;
    if (IsUsbPort(port)) {
        line += u"  " + port.VendorId + u":" + port.ProductId;
        if (!port.Maker.empty()) line += u" " + port.Maker;
        if (!port.Product.empty()) line += u" " + port.Product;
        if (!port.Serial.empty()) line += u" serial " + port.Serial;
    }
    if (!port.StableName.empty()) line += u"  " + port.StableName;
    if (LooksLikeBoard(port)) line += u"  (looks like a board)";
    if (port.SystemConsole) line += u"  (the system console)";
    return line;
}

void DiscoverPorts() {
    App.PortList = ListSerialPorts();
    AppendChosenPath();
    if (App.PortList.empty()) ShowMessageBox(u"OOPS!", u"No com ports found");
}

void RefreshPortBox() {
    // The box is emptied first so that it shows no stale port while the message box about
    // a machine without ports is open.
    SetBoxItems(ControlId::PortBox, {});
    DiscoverPorts();
    // Each port with what the system knows of it; likely boards first, the rest in the
    // system's order. The value chosen stays the port's path.
    std::vector<PortIdentity> known = ListSerialPortIdentities();
    std::vector<Text> items, labels, boards, boardLabels;
    for (const Text& port : App.PortList) {
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
    SetBoxItems(ControlId::PortBox, boards, boardLabels);
    SelectBoxText(ControlId::PortBox, App.Comport);
}
