// Send and wait: one command or program line out, then the board's answer gathered by a
// fixed wait, a wait for the echoed line end, or a wait for the ">" prompt.
#include <algorithm>
#include <cstring>
#include <string>

#include "link/clock.h"
#include "link/echo.h"
#include "link/sendwait.h"
#include "link/serial.h"

namespace {

Text ReadOnce() {
    int got = ReadAvailable(ReceiveBuffer(), kChannelBufferSize);
    return DecodeReceived(ReceiveBuffer(), got);
}

// Polls every 20 ms until what arrived holds `stop`, at most `polls` times.
Text PollUntil(char16_t stop, int polls, const LinkHooks& hooks) {
    Text reply;
    for (int poll = 1; poll <= polls && !HookStopped(hooks); ++poll) {
        HookWait(hooks, kPollStepMs);
        Text piece = ReadOnce();
        if (piece.empty()) continue;
        reply += piece;
        if (piece.find(stop) != Text::npos) break;
    }
    return reply;
}

bool Holds(const Text& reply, Until until) {
    auto endsWith = [&](TextView end) {
        return reply.size() >= end.size() &&
               TextView(reply).substr(reply.size() - end.size()) == end;
    };
    switch (until) {
        case Until::LineEnd:
            return reply.find(u'\n') != Text::npos;
        case Until::PromptAtEnd:
            return endsWith(u"> ");
        case Until::PromptOrPin:
            return endsWith(u"> ") || endsWith(u": ");
    }
    return false;
}

}  // namespace

EchoVerdict SendLineChecked(TextView line, long number, EchoCheck& check, const LinkHooks& hooks) {
    ExpectEcho(check, line, number);
    SendText(Text(line) + u"\r\n");
    for (int poll = 1; poll <= kLineEndPolls && !HookStopped(hooks); ++poll) {
        HookWait(hooks, kPollStepMs);
        Text piece = ReadOnce();
        if (piece.empty()) continue;
        EchoVerdict verdict = FeedEcho(check, piece);
        if (verdict != EchoVerdict::Waiting) return verdict;
    }
    EndEchoWait(check);
    return EchoVerdict::Waiting;
}

// Writes the converted text through the transmit buffer. Commands and program lines fit
// one buffer and go out in one write; a longer text goes out in buffer-sized pieces, one
// after another, and stops at a short write, which means the line stalled past its
// write time-out (sending the later pieces would only garble what the board gets).
void SendText(TextView text) {
    if (text.empty()) return;
    std::string bytes = AnsiFromText(text);
    uint8_t* buffer = TransmitBuffer();
    for (size_t sent = 0; sent < bytes.size();) {
        int piece = static_cast<int>(std::min<size_t>(bytes.size() - sent, kChannelBufferSize));
        std::memcpy(buffer, bytes.data() + sent, static_cast<size_t>(piece));
        if (WriteBytes(buffer, piece) != piece) return;
        sent += static_cast<size_t>(piece);
    }
}

Text SendAndWaitUntil(TextView text, Until until, int limitMs, const LinkHooks& hooks) {
    SendText(text);
    Text reply;
    const int64_t deadline = ElapsedMs() + limitMs;
    for (int64_t now = ElapsedMs(); now < deadline && !Holds(reply, until) && !HookStopped(hooks);
         now = ElapsedMs())
        if (HookAwaitInput(hooks, static_cast<int>(deadline - now))) reply += ReadOnce();
    return reply;
}

Text SendAndWait(TextView text, int wait, int lineDelay, const LinkHooks& hooks) {
    SendText(text);
    if (wait >= 0) {
        HookWait(hooks, wait == 0 ? lineDelay : wait);
        return ReadOnce();
    }
    if (wait == kWaitForLineEnd) return PollUntil(u'\n', kLineEndPolls, hooks);
    return PollUntil(u'>', kPromptPolls, hooks);
}
