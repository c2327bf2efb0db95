// Words a user can act on when a port cannot be opened (explain_posix.cpp,
// explain_win32.cpp). The log keeps its own lines; this goes to stderr.
#pragma once

#include <string>

#include "link/serial.h"

std::string ExplainOpenFailure(OpenFailure failure, const std::string& port,
                               const std::string& detail);
