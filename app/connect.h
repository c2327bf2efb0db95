// The two procedures that open a port on the user's behalf, logging what happened and
// showing the button that lets the user try again.
#pragma once

#include "source/text.h"

struct Session;

// The rate whose opening makes a board reboot into its firmware drive. Only the firmware
// reset opens a port at it; an upload or a console at it is refused.
inline constexpr long long kFirmwareResetBaud = 1200;
inline constexpr char16_t kFirmwareBaudRefusal[] =
    u"1200 baud is refused: opening the port at 1200 baud resets the board into its "
    u"firmware drive. Choose another rate.";
// How long a front end waits for the board's drive after a firmware reset, in seconds, when
// the user did not say.
inline constexpr int kDefaultDriveWaitSeconds = 60;
// True, with the refusal logged, when `SerialSpeed` is the firmware reset's rate.
bool FirmwareBaudChosen(Session& s);

// Opens `Comport` at `SerialSpeed` for an upload, logging the outcome; reuses an open port.
// Never at the firmware reset's rate.
bool ConnectBoard(Session& s);
// The 1200-baud reset that puts a board into its firmware drive mode. Sets
// `FirmwarePending` only when the reset was done; otherwise logs why it could not be.
void FirmwareReset(Session& s);
