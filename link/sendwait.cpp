// Send and wait: one command or program line out, then the board's answer gathered by a
// fixed wait, a wait for the echoed line end, or a wait for the ">" prompt.
#include <algorithm>
#include <cstring>
#include <string>

#include "link/clock.h"
#include "link/echo.h"
#include "link/link.h"
#include "link/sendwait.h"
#include "link/serial.h"

namespace {

Text ReadOnce(Link& link) {
    return ReadPendingInput(link);
}

// Polls every 20 ms until what arrived holds `stop`, at most `polls` times.
Text PollUntil(Link& link, char16_t stop, int polls) {
    Text reply;
    for (int poll = 1; poll <= polls && !HookStopped(link); ++poll) {
        HookWait(link, kPollStepMs);
        Text piece = ReadOnce(link);
        if (piece.empty()) continue;
        reply += piece;
        if (piece.find(stop) != Text::npos) break;
    }
    return reply;
}

constexpr char16_t kEsc = 0x1B;

// `text` without the complete mode sequences (ESC [ parameters final byte) at its end; with
// one still incomplete there, nothing (so no prompt is seen before the sequence is whole).
TextView WithoutTrailingModes(TextView text) {
    for (;;) {
        size_t at = text.rfind(kEsc);
        if (at == TextView::npos) return text;
        TextView tail = text.substr(at + 1);
        if (tail.empty() || tail[0] != u'[') return at + 1 == text.size() ? TextView() : text;
        size_t i = 1;
        while (i < tail.size() && tail[i] >= 0x20 && tail[i] <= 0x3F)
            ++i;
        if (i == tail.size()) return TextView();  // still coming in
        if (i + 1 != tail.size() || tail[i] < 0x40 || tail[i] > 0x7E) return text;
        text = text.substr(0, at);
    }
}

bool EndsWith(TextView text, TextView end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool Holds(const Text& reply, Until until) {
    switch (until) {
        case Until::LineEnd:
            return reply.find(u'\n') != Text::npos;
        case Until::PromptAtEnd:
        case Until::PromptSettled:
            return EndsWithPrompt(reply);
        case Until::PromptOrPin:
            return EndsWithPrompt(reply) || EndsWithPinQuestion(reply);
    }
    return false;
}

// The quiet time after a prompt that tells a settled board from one about to answer a
// second command: a few times the board's first-answer latency, never under 10 ms.
constexpr int64_t kSettleFloorUs = 10000, kSettleCeilingUs = 500000;
int64_t SettleUs(int64_t latencyUs) {
    return std::clamp<int64_t>(4 * latencyUs, kSettleFloorUs, kSettleCeilingUs);
}

// Gathers what arrives until `done` holds of the reply or `limitMs` has passed, waking as
// bytes come.
template <typename Done>
Text GatherUntil(Link& link, Text reply, Done done, int64_t limitMs) {
    const int64_t deadline = link.Time.ElapsedMs() + limitMs;
    for (int64_t now = link.Time.ElapsedMs(); now < deadline && !done(reply) && !HookStopped(link);
         now = link.Time.ElapsedMs())
        if (HookAwaitInput(link, static_cast<int>(deadline - now))) reply += ReadOnce(link);
    return reply;
}

}  // namespace

EchoVerdict SendLineChecked(Link& link, TextView line, long number, EchoCheck& check) {
    ExpectEcho(check, line, number);
    SendText(link, Text(line) + u"\r\n");
    // A cut-off echo waits only a moment for the board's reason.
    int lastPoll = kLineEndPolls;
    for (int poll = 1; poll <= lastPoll && !HookStopped(link); ++poll) {
        HookWait(link, kPollStepMs);
        Text piece = ReadOnce(link);
        if (piece.empty()) continue;
        EchoVerdict verdict = FeedEcho(check, piece);
        if (verdict != EchoVerdict::Waiting) return verdict;
        if (check.CutOff) lastPoll = std::min(lastPoll, poll + kCutOffGraceMs / kPollStepMs);
    }
    return EndEchoWait(check);
}

// Writes the converted text through the transmit buffer. Commands and program lines fit
// one buffer and go out in one write; a longer text goes out in buffer-sized pieces, one
// after another, and stops at a short write, which means the line stalled past its
// write time-out (sending the later pieces would only garble what the board gets).
void SendText(Link& link, TextView text) {
    if (text.empty()) return;
    std::string bytes = AnsiFromText(text);
    uint8_t* buffer = link.TransmitBuffer.data();
    for (size_t sent = 0; sent < bytes.size();) {
        int piece = static_cast<int>(std::min<size_t>(bytes.size() - sent, kChannelBufferSize));
        std::memcpy(buffer, bytes.data() + sent, static_cast<size_t>(piece));
        if (link.Port.WriteBytes(buffer, piece) != piece) return;
        sent += static_cast<size_t>(piece);
    }
}

bool EndsWithPrompt(TextView reply) {
    return EndsWith(WithoutTrailingModes(reply), u"> ");
}

bool EndsWithPinQuestion(TextView reply) {
    return EndsWith(WithoutTrailingModes(reply), u": ");
}

bool EchoLineEnded(TextView reply, TextView command) {
    Text line;
    bool inSequence = false;
    for (char16_t ch : reply) {
        if (ch == u'\n') {
            if (EndsWith(line, command)) return true;
            line.clear();
        } else if (ch == kEsc) {
            inSequence = true;
        } else if (inSequence) {
            inSequence = ch < 0x40 || ch > 0x7E || ch == u'[';
        } else if (ch != u'\r') {
            line += ch;
        }
    }
    return false;
}

Text SendAndWaitUntil(Link& link, TextView text, Until until, int limitMs) {
    const int64_t deadline = link.Time.ElapsedMs() + limitMs;
    SendText(link, text);
    const int64_t sentUs = link.Time.ElapsedUs();
    int64_t latencyUs = -1;  // how long the board took to start answering
    auto done = [&](const Text& reply) {
        if (latencyUs < 0 && !reply.empty()) latencyUs = link.Time.ElapsedUs() - sentUs;
        return Holds(reply, until);
    };
    Text reply = GatherUntil(link, Text(), done, deadline - link.Time.ElapsedMs());
    while (until == Until::PromptSettled && Holds(reply, until) && !HookStopped(link)) {
        int64_t quietMs = (SettleUs(latencyUs) + 999) / 1000;
        int64_t left = deadline - link.Time.ElapsedMs();
        if (left <= 0 || !HookAwaitInput(link, static_cast<int>(std::min(quietMs, left)))) break;
        // The board answers once more: wait for that answer's prompt.
        reply = GatherUntil(link, reply + ReadOnce(link), done, deadline - link.Time.ElapsedMs());
    }
    return reply;
}

Text SendStartCommand(Link& link, TextView command, bool fast) {
    SendText(link, Text(command) + u"\r\n");
    auto done = [&](const Text& reply) { return EchoLineEnded(reply, command); };
    if (fast) return GatherUntil(link, Text(), done, kLineEndPolls * kPollStepMs);
    Text reply;
    for (int poll = 1; poll <= kLineEndPolls && !HookStopped(link); ++poll) {
        HookWait(link, kPollStepMs);
        reply += ReadOnce(link);
        if (done(reply)) break;
    }
    return reply;
}

Text SendAndWait(Link& link, TextView text, int wait, int lineDelay) {
    SendText(link, text);
    if (wait >= 0) {
        HookWait(link, wait == 0 ? lineDelay : wait);
        return ReadOnce(link);
    }
    if (wait == kWaitForLineEnd) return PollUntil(link, u'\n', kLineEndPolls);
    return PollUntil(link, u'>', kPromptPolls);
}
