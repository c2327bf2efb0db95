// The port going away: the firmware drive mode after a 1200-baud reset, and a board that
// drops off the line (--vanish-after-lines).
//
// Drive mode: the serial port closes and --link goes; --drive-dir DIR is created with an
// INFO_UF2.TXT and, with --mounts-file FILE, the line "/dev/qzboard DIR vfat rw 0 0" (DIR made
// absolute) is appended to FILE. A *.uf2 file written into DIR is installed: it is copied to
// installed-firmware.uf2 beside DIR, installed-firmware.txt beside DIR records its name, size
// and UF2 block count, the drive's files and mount line go, and after a short reboot the board
// comes back on a new pseudo-terminal (its path printed on stdout, --link made again).
// Without --drive-dir the board just comes back after 2 seconds.
#pragma once

#include "board/board.h"

// Called when the client has set 1200 baud.
void EnterDriveMode(Board& board);
// Watches the drive for firmware and brings the port back when it is time.
void DriveTick(Board& board);
// Undoes the drive's traces (mount line, INFO_UF2.TXT) at exit.
void LeaveDriveMode(Board& board);
// Sends what is queued, then closes the port and removes --link for good.
void VanishFromLine(Board& board);
