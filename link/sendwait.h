// Send and wait: the one text exchange with the board's interpreter.
#pragma once

#include "link/hooks.h"
#include "link/echo.h"
#include "source/text.h"

// Wait arguments with names.
inline constexpr int kWaitForLineEnd = -1;
inline constexpr int kWaitForPrompt = -2;

// Sends `text` unchanged (ANSI code page, nothing added), then waits: a positive `wait` is a
// fixed wait of that many ms, 0 a fixed wait of `lineDelay` ms, -1 polls every 20 ms until
// the reply holds LF (at most 301 polls), -2 or less until it holds ">" (at most 501 polls).
// Every wait goes through `hooks.Wait`. Returns what the board sent meanwhile.
Text SendAndWait(TextView text, int wait, int lineDelay, const LinkHooks& hooks);

// Sends program line `number` with "\r\n" and waits as for a line end (20 ms polls, at most
// 301), but what comes back goes through the echo check and the wait ends as soon as it has
// a verdict: the echo is complete, or the board reported an error or showed its prompt.
// Waiting means the echo did not come in time (counted in the check).
EchoVerdict SendLineChecked(TextView line, long number, EchoCheck& check,
                            const LinkHooks& hooks);
