// Send and wait: the one text exchange with the board's interpreter.
#pragma once

#include "link/echo.h"
#include "link/hooks.h"
#include "link/link.h"
#include "source/text.h"

// Wait arguments with names.
inline constexpr int kWaitForLineEnd = -1;
inline constexpr int kWaitForPrompt = -2;
// The polling rules: a poll every 20 ms, at most 301 for a line end, 501 for the prompt.
inline constexpr int kPollStepMs = 20;
inline constexpr int kLineEndPolls = 301;
inline constexpr int kPromptPolls = 501;

// Sends `text` unchanged (ANSI code page, nothing added) and returns at once.
void SendText(Link& link, TextView text);

// Sends `text` unchanged (ANSI code page, nothing added), then waits: a positive `wait` is a
// fixed wait of that many ms, 0 a fixed wait of `lineDelay` ms, -1 polls every 20 ms until
// the reply holds LF (at most 301 polls), -2 or less until it holds ">" (at most 501 polls).
// Every wait goes through `link.Hooks.Wait`. Returns what the board sent meanwhile.
Text SendAndWait(Link& link, TextView text, int wait, int lineDelay);

// Sends program line `number` with "\r\n" and waits as for a line end (20 ms polls, at most
// 301), but what comes back goes through the echo check and the wait ends as soon as it has
// a verdict: the echo is complete, the board reported an error or showed its prompt, or the
// echo came back garbled. Waiting means the echo did not come in time (counted in the check).
EchoVerdict SendLineChecked(Link& link, TextView line, long number, EchoCheck& check);

// True when `reply` ends with the board's "> " prompt. Terminal mode sequences that a board
// sends around its prompt (cursor, colour, autowrap: ESC [ ... final byte) are seen
// through; one still incomplete at the end means the prompt is not complete yet either.
bool EndsWithPrompt(TextView reply);
// The same for the PIN question's ": ".
bool EndsWithPinQuestion(TextView reply);

// True when `reply` holds the echo of `command` up to its line end: a line that ends with
// the command's text (a prompt and mode sequences may come before it on that line).
bool EchoLineEnded(TextView reply, TextView command);

// What ends a fast wait: the reply holds a line feed, or ends with the "> " prompt (or, for
// the first look at a board, with the PIN question's ": "). The prompt must end the reply:
// a ">" in an echo or an answer does not end it. PromptSettled also waits for the board to
// settle after the prompt: a command ending CR LF may be answered by two prompts (the LF is
// a second, empty command), so the wait ends only when no byte followed the prompt for a
// short time scaled to how long the board took to start answering.
enum class Until { LineEnd, PromptAtEnd, PromptOrPin, PromptSettled };

// Fast mode's send and wait: sends `text` as SendAndWait does, then gathers the reply as it
// arrives, waking the moment bytes come, until `until` holds or `limitMs` has passed.
Text SendAndWaitUntil(Link& link, TextView text, Until until, int limitMs);

// The start of program entry: sends `command` + "\r\n" and waits until its echo's line end
// has come (EchoLineEnded), at most as long as the wait for a line end. What comes before
// the echo (a late prompt of the command before) is part of the reply, never of the first
// program line's. `fast` wakes as bytes arrive instead of polling every 20 ms.
Text SendStartCommand(Link& link, TextView command, bool fast);
