// The two procedures that open a port on the user's behalf, logging what happened and
// showing the button that lets the user try again.
#pragma once

// Opens `Comport` at `SerialSpeed` for an upload, logging the outcome; reuses an open port.
bool ConnectBoard();
// The 1200-baud reset that puts a board into its firmware drive mode.
void FirmwareReset();
