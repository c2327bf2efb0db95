// The system's words for a Windows error code, for the log and the front ends.
#pragma once

#include "source/text.h"

// The message for `error` (a GetLastError value) without its trailing line break and full
// stop; "error N" when the system has none.
Text SystemMessage(unsigned long error);
