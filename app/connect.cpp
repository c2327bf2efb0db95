#include "app/connect.h"

#include "app/pump.h"
#include "app/session.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

constexpr char16_t kSetPortHint[] = u"Set port number then run 'Program'";
// The rate the firmware port is opened at before it is set to 1200 baud.
constexpr long long kFirmwarePortBaud = 115200;
// How long the port stays closed between the two opens.
constexpr int kFirmwareResetPauseMs = 500;

}  // namespace

bool FirmwareBaudChosen(Session& s) {
    if (LeadingNumber(s.App.SerialSpeed) != kFirmwareResetBaud) return false;
    AppendLog(s, kFirmwareBaudRefusal);
    return true;
}

bool ConnectBoard(Session& s) {
    if (FirmwareBaudChosen(s)) return false;
    if (s.App.Comport == kNotSet) {
        AppendLog(s, kSetPortHint);
        ShowButton(s, ControlId::ProgramButton, true);
        s.App.ProgramButtonHidden = false;
        return false;
    }
    if (s.Port.IsOpen()) return true;
    if (s.Port.Open(s.App.Comport, LeadingNumber(s.App.SerialSpeed))) {
        AppendLog(s, u"Connected to " + s.App.Device + u" at " + s.App.SerialSpeed);
        ShowButton(s, ControlId::ProgramButton, false);
        s.App.ProgramButtonHidden = true;
        return true;
    }
    AppendLog(s, s.App.BoardFamily + u" Not found!");
    AppendLog(s, kSetPortHint);
    AppendLog(s, s.Port.LastOpenFailureReason());  // why, and what to do about it
    ShowButton(s, ControlId::ProgramButton, true);
    s.App.ProgramButtonHidden = false;
    return false;
}

void FirmwareReset(Session& s) {
    if (s.App.PicoPort == kNotSet) {
        AppendLog(s, kSetPortHint);
        ShowButton(s, ControlId::SecondProgramButton, true);
        return;
    }
    if (!s.Port.Open(s.App.PicoPort, kFirmwarePortBaud)) {
        AppendLog(s, u"Firmware reset not done: " + s.Port.LastOpenFailureReason());
        return;
    }
    // The board watches for its port being set to 1200 baud and then reboots into its
    // drive mode; the port stays open at 1200 until the next close or open.
    s.Port.Close();
    DelayPumping(s, kFirmwareResetPauseMs);
    if (!s.Port.Open(s.App.PicoPort, kFirmwareResetBaud)) {
        AppendLog(s, u"Firmware reset not done: the port would not open at 1200 baud: " +
                         s.Port.LastOpenFailureReason());
        return;
    }
    s.App.FirmwarePending = true;
}
