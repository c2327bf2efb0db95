// After a firmware reset the headless program waits for the board's drive to show up and
// hands it to the arrival handling, which copies the firmware file there
// (drive_wait_posix.cpp watches the mount table, drive_wait_win32.cpp the drive letters).
#pragma once

// True when the firmware file was copied onto a new drive within `seconds`.
bool WaitForFirmwareDrive(int seconds);
