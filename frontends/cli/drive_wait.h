// After a firmware reset the headless program waits for the board's drive to show up and
// hands it to the arrival handling, which copies the firmware file there. The loop is
// portable (drive_wait.cpp); what counts as a drive is the platform's
// (drive_wait_posix.cpp: the mount table's mount points, drive_wait_win32.cpp: the drive
// letters).
#pragma once

#include <set>

#include "source/text.h"

struct Session;

// True when the firmware file was copied onto a new drive within `seconds`.
bool WaitForFirmwareDrive(Session& s, int seconds);

// ---- Platform ----

// The drives present now, each by its label (a mount point, a drive letter).
std::set<Text> PresentDrives();
// The folder a drive's files go into ("/media/RPI-RP2/", "E:\").
Text DriveRoot(const Text& label);
