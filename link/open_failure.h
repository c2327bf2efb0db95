// Words a user can act on when a port cannot be opened (open_failure_posix.cpp,
// open_failure_win32.cpp), built when the open fails and kept for LastOpenFailureReason.
#pragma once

#include <string>

#include "link/serial.h"

// `port` is the name as the user gave it, `device` the path that was opened, `detail` the
// system's words or, for a port that is not a serial port, what it is instead.
std::string ExplainOpenFailure(OpenFailure failure, const std::string& port,
                               const std::string& device, const std::string& detail);
// Linux: the other processes that hold `device` open, as "name (pid N)" joined by ", ",
// found through /proc; empty when there are none that this user may see. For a
// pseudo-terminal, a process that holds its master side is its far end (a simulated board),
// not a rival, and is left out.
std::string PortHolders(const std::string& device);
