// Send and wait: the one text exchange with the board's interpreter.
#pragma once

#include "link/hooks.h"
#include "source/text.h"

// Wait arguments with names.
inline constexpr int kWaitForLineEnd = -1;
inline constexpr int kWaitForPrompt = -2;

// Sends `text` unchanged (ANSI code page, nothing added), then waits: a positive `wait` is a
// fixed wait of that many ms, 0 a fixed wait of `lineDelay` ms, -1 polls every 20 ms until
// the reply holds LF (at most 301 polls), -2 or less until it holds ">" (at most 501 polls).
// Every wait goes through `hooks.Wait`. Returns what the board sent meanwhile.
Text SendAndWait(TextView text, int wait, int lineDelay, const LinkHooks& hooks);
