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

// More of `next` to go ahead, a character at a time, while the bytes unechoed stay within
// the window; counted as gone ahead.
Text TakeAhead(int64_t due, TextView next, LinePacer& pacer) {
    Text piece;
    int64_t bytes = pacer.AheadBytes;
    for (size_t at = pacer.Ahead.size(); at < next.size(); ++at) {
        int64_t size = static_cast<int64_t>(AnsiFromText(next.substr(at, 1)).size());
        if (due + bytes + size > kAheadWindow) break;
        piece += next[at];
        bytes += size;
    }
    pacer.Ahead += piece;
    pacer.AheadBytes = bytes;
    return piece;
}

// Sends what TakeAhead lets go.
void SendAhead(Link& link, int64_t due, TextView next, LinePacer& pacer) {
    if (Text piece = TakeAhead(due, next, pacer); !piece.empty()) SendText(link, piece);
}

// The longest line-end lag learnt: beyond it a board is slow for other reasons, and the
// wait for its echo is better left to the port.
constexpr int64_t kLongestLagUs = 5000;

// After a line's verdict: when it came in the read right after the sleep, the sleep may have
// been longer than needed, and the lag shrinks a little; when the end had to be waited for,
// the lag grows by that wait.
void LearnLineEndLag(Link& link, LinePacer& pacer, bool inRightAfterSleep, int64_t wakeUs) {
    if (wakeUs < 0) return;
    if (inRightAfterSleep)
        pacer.LineEndLagUs -= pacer.LineEndLagUs / 16;
    else
        pacer.LineEndLagUs =
            std::min(pacer.LineEndLagUs + (link.Time.ElapsedUs() - wakeUs), kLongestLagUs);
}

}  // namespace

EchoVerdict SendLineFast(Link& link, TextView line, long number, TextView next, EchoCheck& check,
                         LinePacer& pacer) {
    int64_t deadline = link.Time.ElapsedMs() + kLineEndPolls * kPollStepMs;
    ExpectEcho(check, line, number);
    // What went ahead is the start of this line; the rest and the line end follow it.
    if (!StartsWith(line, pacer.Ahead)) WithdrawAhead(link, pacer);
    Text out = Text(line.substr(pacer.Ahead.size())) + u"\r\n";
    pacer.Ahead.clear();
    pacer.AheadBytes = 0;
    const int64_t lineBytes = static_cast<int64_t>(AnsiFromText(line).size());
    // The start of the next line goes in the same write, as far as the window lets it with
    // none of this line's echo read yet.
    out += TakeAhead(EchoStillDue(line, lineBytes, check), next, pacer);
    SendText(link, out);
    // What has come in meanwhile first (the echo of what went ahead of this line): it may
    // end the wait, and it opens the window. After that every look at the port reads.
    bool look = link.Port.WaitForInput(0);
    bool slept = false;   // the last turn slept through the echo: this one waits for it
    int64_t wakeUs = -1;  // when a sleep through the echo ended
    for (;;) {
        if (look) {
            EchoVerdict verdict = FeedEcho(check, ReadPendingInput(link));
            if (verdict != EchoVerdict::Waiting) {
                LearnLineEndLag(link, pacer, slept, wakeUs);
                return verdict;
            }
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
            link.Time.DelayUs(
                std::min((due - 1) * pacer.ByteTimeUs + pacer.LineEndLagUs, kLongestSleepUs));
            wakeUs = link.Time.ElapsedUs();
            slept = look = true;
            continue;
        }
        slept = false;
        int64_t left = deadline - link.Time.ElapsedMs();
        // A port whose device went away brings no echo: the wait ends at once.
        if (left <= 0 || HookStopped(link) || link.Port.Vanished()) break;
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
