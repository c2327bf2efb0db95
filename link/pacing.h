// Fast mode's pacing of program lines: each line's echo is checked as it arrives, and the
// next line goes the moment the echo's line end is in, instead of after 20 ms polls.
//
// One line end is in flight at a time: a line's "\r\n" goes out only once the line before
// was echoed whole and checked. While that echo comes back, the text of the next line may
// go ahead of it, so the wire does not stand idle for the board's echo latency; at most
// kAheadWindow bytes are ever unechoed. A board that rejects a line therefore holds at most
// the beginning of the next line, unfinished, in its line editor: nothing it would run.
#pragma once

#include <cstdint>

#include "link/echo.h"
#include "link/hooks.h"
#include "link/link.h"
#include "source/text.h"

inline constexpr int kAheadWindow = 128;

struct LinePacer {
    Text Ahead;              // the start of the next line, sent ahead of its turn
    int64_t AheadBytes = 0;  // its size in bytes as sent
    int64_t ByteTimeUs = 0;  // one byte's line time (10 bits); 0 when not known
    // How long the board took to echo a line end beyond the wire's time, as learnt from the
    // lines before: the sleep through a line's echo lasts that much longer, so that one
    // wake finds the whole echo in, rather than one for the characters and one for the end.
    int64_t LineEndLagUs = 0;
};

// Sends program line `number` (what of it did not go ahead, then "\r\n") and waits, as long
// as the line-end wait at most, for the verdict of the echo check, feeding it each piece as
// it arrives; every wait goes through `link.Hooks.AwaitInput`. `next` is the program line that
// will follow, or empty. Waiting: the echo did not come in time (counted in the check).
EchoVerdict SendLineFast(Link& link, TextView line, long number, TextView next, EchoCheck& check,
                         LinePacer& pacer);
// Rubs out, one backspace a character, what went ahead: before the upload is abandoned, so
// that no board keeps a cut-off line.
void WithdrawAhead(Link& link, LinePacer& pacer);
