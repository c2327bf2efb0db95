// Reading the Windows registry, the little that port discovery needs. Each call opens the
// key, makes one query and closes the key again, so no key stays open between calls. A
// failure of any step (key missing, access denied, query failed) gives the empty result and
// is not reported. One leading and one trailing "\" of the key path are ignored.
#pragma once

#include <windows.h>

#include "source/text.h"

// The number of values of the key; 0 on failure.
int CountRegistryValues(HKEY root, TextView path, bool view64);
// The name of the value at `index` (from 0); empty on failure.
Text RegistryValueName(HKEY root, TextView path, bool view64, int index);
// The value's data as text: REG_SZ up to its first NUL, at most 66 characters and cut
// before the first character above 127; REG_EXPAND_SZ with environment references
// expanded; REG_DWORD and REG_QWORD in decimal; REG_MULTI_SZ joined with LF; REG_BINARY as
// "$0A,$FF,..." for at most its first 2096 bytes. Empty on failure.
Text ReadRegistryValue(HKEY root, TextView path, bool view64, TextView valueName);
