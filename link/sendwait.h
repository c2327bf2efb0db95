// Send and wait: the one text exchange with the board's interpreter.
#pragma once

#include "link/echo.h"
#include "link/hooks.h"
#include "source/text.h"

// Wait arguments with names.
inline constexpr int kWaitForLineEnd = -1;
inline constexpr int kWaitForPrompt = -2;
// The polling rules: a poll every 20 ms, at most 301 for a line end, 501 for the prompt.
inline constexpr int kPollStepMs = 20;
inline constexpr int kLineEndPolls = 301;
inline constexpr int kPromptPolls = 501;

// Sends `text` unchanged (ANSI code page, nothing added) and returns at once.
void SendText(TextView text);

// Sends `text` unchanged (ANSI code page, nothing added), then waits: a positive `wait` is a
// fixed wait of that many ms, 0 a fixed wait of `lineDelay` ms, -1 polls every 20 ms until
// the reply holds LF (at most 301 polls), -2 or less until it holds ">" (at most 501 polls).
// Every wait goes through `hooks.Wait`. Returns what the board sent meanwhile.
Text SendAndWait(TextView text, int wait, int lineDelay, const LinkHooks& hooks);

// Sends program line `number` with "\r\n" and waits as for a line end (20 ms polls, at most
// 301), but what comes back goes through the echo check and the wait ends as soon as it has
// a verdict: the echo is complete, or the board reported an error or showed its prompt.
// Waiting means the echo did not come in time (counted in the check).
EchoVerdict SendLineChecked(TextView line, long number, EchoCheck& check, const LinkHooks& hooks);

// What ends a fast wait: the reply holds a line feed, or ends with the "> " prompt (or, for
// the first look at a board, with the PIN question's ": "). The prompt must end the reply:
// a ">" in an echo or an answer does not end it.
enum class Until { LineEnd, PromptAtEnd, PromptOrPin };

// Fast mode's send and wait: sends `text` as SendAndWait does, then gathers the reply as it
// arrives, waking the moment bytes come, until `until` holds or `limitMs` has passed.
Text SendAndWaitUntil(TextView text, Until until, int limitMs, const LinkHooks& hooks);
