#include "link/pacing.h"

#include <algorithm>

#include "link/clock.h"
#include "link/link.h"
#include "link/sendwait.h"
#include "link/serial.h"

namespace {

// The longest sleep between looks at the port: the window is pumped at least this often.
constexpr int64_t kLongestSleepUs = 20000;

// Bytes of `line`'s echo, its line end included, that have not come back yet: counted from
// above, since every character received is at least one byte.
int64_t EchoStillDue(TextView line, int64_t lineBytes, const EchoCheck& check) {
    int64_t echoed = std::min<int64_t>(static_cast<int64_t>(check.Received.size()),
                                       static_cast<int64_t>(line.size()));
    return lineBytes + 2 - echoed;
}

// Sends more of `next` ahead, a character at a time, while the bytes unechoed stay within
// the window.
void SendAhead(Link& link, int64_t due, TextView next, LinePacer& pacer) {
    Text piece;
    int64_t bytes = pacer.AheadBytes;
    for (size_t at = pacer.Ahead.size(); at < next.size(); ++at) {
        int64_t size = static_cast<int64_t>(AnsiFromText(next.substr(at, 1)).size());
        if (due + bytes + size > kAheadWindow) break;
        piece += next[at];
        bytes += size;
    }
    if (piece.empty()) return;
    SendText(link, piece);
    pacer.Ahead += piece;
    pacer.AheadBytes = bytes;
}

}  // namespace

EchoVerdict SendLineFast(Link& link, TextView line, long number, TextView next, EchoCheck& check,
                         LinePacer& pacer) {
    int64_t deadline = link.Time.ElapsedMs() + kLineEndPolls * kPollStepMs;
    ExpectEcho(check, line, number);
    // What went ahead is the start of this line; the rest and the line end follow it.
    if (!StartsWith(line, pacer.Ahead)) WithdrawAhead(link, pacer);
    SendText(link, Text(line.substr(pacer.Ahead.size())) + u"\r\n");
    pacer.Ahead.clear();
    pacer.AheadBytes = 0;
    const int64_t lineBytes = static_cast<int64_t>(AnsiFromText(line).size());
    // What has come in meanwhile first (the echo of what went ahead of this line): it may
    // end the wait, and it opens the window. After that every look at the port reads.
    bool look = link.Port.WaitForInput(0);
    bool slept = false;  // the last turn slept through the echo: this one waits for it
    for (;;) {
        if (look) {
            EchoVerdict verdict = FeedEcho(check, ReadPendingInput(link));
            if (verdict != EchoVerdict::Waiting) return verdict;
        }
        // A cut-off echo waits only a moment for the board's reason.
        if (check.CutOff) deadline = std::min(deadline, link.Time.ElapsedMs() + kCutOffGraceMs);
        int64_t due = EchoStillDue(line, lineBytes, check);
        SendAhead(link, due, next, pacer);
        // The echo comes at the wire's pace: sleep through the characters still due rather
        // than waking for each byte as it comes in, then read what came. The line end's
        // echo alone (the board answers it after its own pause) is waited for instead, and
        // so is the rest after a sleep: that wait lets the window run and keeps the deadline.
        if (pacer.ByteTimeUs > 0 && due > 2 && !slept) {
            link.Time.DelayUs(std::min((due - 1) * pacer.ByteTimeUs, kLongestSleepUs));
            slept = look = true;
            continue;
        }
        slept = false;
        int64_t left = deadline - link.Time.ElapsedMs();
        if (left <= 0 || HookStopped(link)) break;
        look = HookAwaitInput(link, static_cast<int>(left));
    }
    return EndEchoWait(check);
}

void WithdrawAhead(Link& link, LinePacer& pacer) {
    if (pacer.Ahead.empty()) return;
    SendText(link, Text(pacer.Ahead.size(), u'\b'));
    pacer.Ahead.clear();
    pacer.AheadBytes = 0;
}
