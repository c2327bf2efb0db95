#include "app/connect.h"

#include "app/state.h"
#include "link/clock.h"
#include "link/serial.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

const Text kSetPortHint = u"Set port number then run 'Program'";

}  // namespace

bool FirmwareBaudChosen() {
    if (LeadingNumber(App.SerialSpeed) != kFirmwareResetBaud) return false;
    AppendLog(kFirmwareBaudRefusal);
    return true;
}

bool ConnectBoard() {
    if (FirmwareBaudChosen()) return false;
    if (App.Comport == kNotSet) {
        AppendLog(kSetPortHint);
        ShowButton(ControlId::ProgramButton, true);
        App.ProgramButtonHidden = false;
        return false;
    }
    if (IsPortOpen()) return true;
    if (OpenPort(App.Comport, LeadingNumber(App.SerialSpeed))) {
        AppendLog(u"Connected to " + App.Device + u" at " + App.SerialSpeed);
        ShowButton(ControlId::ProgramButton, false);
        App.ProgramButtonHidden = true;
        return true;
    }
    AppendLog(App.BoardFamily + u" Not found!");
    AppendLog(kSetPortHint);
    AppendLog(LastOpenFailureReason());  // why, and what to do about it
    ShowButton(ControlId::ProgramButton, true);
    App.ProgramButtonHidden = false;
    return false;
}

void FirmwareReset() {
    if (App.PicoPort == kNotSet) {
        AppendLog(kSetPortHint);
        ShowButton(ControlId::SecondProgramButton, true);
        return;
    }
    if (!OpenPort(App.PicoPort, 115200)) return;
    // The board watches for its port being set to 1200 baud and then reboots into its
    // drive mode; the port stays open at 1200 until the next close or open.
    ClosePort();
    DelayMs(500);
    OpenPort(App.PicoPort, 1200);
    App.FirmwarePending = true;
}
