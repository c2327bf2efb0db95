// The XMODEM sender: the board's interpreter is told to receive a file, then the file goes
// out in 128-byte blocks with the 8-bit checksum or the CRC-16, as the receiver asks.
//
// By default everything is paced by fixed sleeps and reads that never block: the tool has
// one thread, and the caller's pump hook runs once per block attempt so its window stays
// alive.
// In fast mode the same protocol, with the same limits, acts on each of the receiver's
// bytes the moment it arrives (a wait on the port) instead of after the fixed sleeps.
#include "link/xmodem.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/link.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "source/files.h"

namespace {

constexpr uint8_t kSoh = 0x01, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr uint8_t kWantCrc = 'C';
constexpr int kBlockSize = 128;
constexpr int kBufferSize = 1040;
// The start: a first look 1000 ms after the receive command, then a look every 100 ms for as
// long as a slow receiver goes on asking (its own limit is a minute).
constexpr int kStartWaitMs = 1000, kStartPollMs = 100, kStartLimitMs = 60000;
constexpr int kReplyWaitMs = 200, kRetryPauseMs = 50, kMaxFailedReplies = 20;
constexpr int kBlockLimitMs = 10000;
constexpr int kEotPollMs = 500, kEotLimitMs = 5000, kMaxEots = 4;
constexpr int kCancelBytes = 5, kFinalPauseMs = 300;
constexpr int kCancelGatherMs = 20;  // fast mode: how long a CAN waits for its two fellows
constexpr size_t kPromptTail = 32;   // what of the receiver's last words shows its prompt

enum class Check { Sum, Crc };

// One transfer's memory: the zero-padded file image and the packet and reply buffers.
// It all goes when the transfer ends, whatever its outcome.
struct Transfer {
    explicit Transfer(Link& over) : link(over) {}
    Link& link;
    std::vector<uint8_t> image;
    long blocks = 0;
    std::vector<uint8_t> packet = std::vector<uint8_t>(kBufferSize, 0);
    std::vector<uint8_t> reply = std::vector<uint8_t>(kBufferSize, 0);
    int replyCount = 0;  // what the last read brought, in `reply`
    Check check = Check::Sum;
    bool fast = false;
    std::string command;     // the receive command, whose echo is no request
    size_t echoed = 0;       // how much of its echo has come back
    bool cancelled = false;  // Cancel was pressed while the start was awaited
};

bool IsRequest(int byte) {
    return byte == kNak || byte == kWantCrc || byte == kCan;
}

// The bytes of the last read that are not the receive command's echo, in order. The echo
// is taken byte by byte as it comes, whatever the pieces: its "C" (in RECEIVE) is never the
// receiver's request. A byte that does not continue the echo is the receiver's or noise.
std::string NotEcho(Transfer& t) {
    std::string rest;
    for (int i = 0; i < t.replyCount; ++i) {
        uint8_t byte = t.reply[i];
        if (t.echoed < t.command.size() && byte == static_cast<uint8_t>(t.command[t.echoed]))
            ++t.echoed;
        else
            rest += static_cast<char>(byte);
    }
    return rest;
}

int ReadReply(Transfer& t) {
    t.replyCount = t.link.Port.ReadAvailable(t.reply.data(), kBufferSize);
    return t.replyCount;
}

int FirstReplyByte(const Transfer& t) {
    return t.replyCount > 0 ? t.reply[0] : -1;
}

}  // namespace

uint16_t XmodemCrc(const uint8_t* data, int count) {
    uint16_t crc = 0;
    for (int i = 0; i < count; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

namespace {

// Packet n: SOH, n modulo 256, its complement, the n-th 128 bytes of the image, the check.
int BuildPacket(Transfer& t, long n) {
    uint8_t* p = t.packet.data();
    const uint8_t* data = t.image.data() + (n - 1) * kBlockSize;
    p[0] = kSoh;
    p[1] = static_cast<uint8_t>(n & 0xFF);
    p[2] = static_cast<uint8_t>(255 - p[1]);
    std::memcpy(p + 3, data, kBlockSize);
    if (t.check == Check::Crc) {
        uint16_t crc = XmodemCrc(data, kBlockSize);
        p[3 + kBlockSize] = static_cast<uint8_t>(crc >> 8);
        p[4 + kBlockSize] = static_cast<uint8_t>(crc & 0xFF);
        return kBlockSize + 5;
    }
    uint8_t sum = 0;
    for (int i = 0; i < kBlockSize; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    p[3 + kBlockSize] = sum;
    return kBlockSize + 4;
}

// Takes `candidate` as the receiver's start request: NAK asks for checksum mode, "C" for CRC
// mode. True when it is one of them.
bool TakeRequest(Transfer& t, int candidate) {
    if (candidate != kNak && candidate != kWantCrc) return false;
    t.check = candidate == kWantCrc ? Check::Crc : Check::Sum;
    return true;
}

// A Cancel pressed while the start is awaited ends it.
bool StartCancelled(Transfer& t) {
    if (HookPump(t.link)) t.cancelled = true;
    return t.cancelled || HookStopped(t.link);
}

// Waits for the receiver's first NAK (checksum) or "C" (CRC), after the command's wait whose
// read is `early`: a request that came in it counts when nothing newer does. False when none
// came, the receiver cancelled, or a Cancel or stop ended the wait.
bool AwaitStart(Transfer& t, int early) {
    HookWait(t.link, kStartWaitMs);
    if (StartCancelled(t)) return false;
    ReadReply(t);
    std::string rest = NotEcho(t);
    int candidate = rest.empty() ? -1 : static_cast<uint8_t>(rest.back());
    if (!IsRequest(candidate)) candidate = early;
    const int64_t deadline = t.link.Time.ElapsedMs() + kStartLimitMs;
    for (;;) {
        if (candidate == kCan) return false;
        if (TakeRequest(t, candidate)) return true;
        if (t.link.Time.ElapsedMs() >= deadline) return false;
        HookWait(t.link, kStartPollMs);
        if (StartCancelled(t)) return false;
        ReadReply(t);
        rest = NotEcho(t);
        candidate = rest.empty() ? -1 : static_cast<uint8_t>(rest.front());
    }
}

// Fast mode's start: the receiver's first request, taken the moment it comes, also during
// the command's own wait. The request byte is the last one that has arrived past the echo,
// as in the fixed-wait start, and the limit is that start's.
bool AwaitStartFast(Transfer& t, int commandWaitMs) {
    const int64_t deadline = t.link.Time.ElapsedMs() + commandWaitMs + kStartWaitMs + kStartLimitMs;
    for (int64_t now = t.link.Time.ElapsedMs(); now < deadline && !StartCancelled(t);
         now = t.link.Time.ElapsedMs()) {
        if (!HookAwaitInput(t.link, static_cast<int>(deadline - now)) || ReadReply(t) <= 0)
            continue;
        std::string rest = NotEcho(t);
        int candidate = rest.empty() ? -1 : static_cast<uint8_t>(rest.back());
        if (candidate == kCan) return false;
        if (TakeRequest(t, candidate)) return true;
    }
    return false;
}

// Fast mode's reply to a packet: waits at most the reply wait for the receiver's ACK, NAK
// or CAN, passing over any other byte as line noise. A CAN is given a moment for the two
// that make a cancel to follow it. The reply's first byte, or -1 when none came.
int AwaitReplyFast(Transfer& t, int limitMs) {
    const int64_t deadline = t.link.Time.ElapsedMs() + limitMs;
    for (int64_t now = t.link.Time.ElapsedMs(); now < deadline && !HookStopped(t.link);
         now = t.link.Time.ElapsedMs()) {
        if (!HookAwaitInput(t.link, static_cast<int>(deadline - now)) || ReadReply(t) <= 0)
            continue;
        int skip = 0;
        while (skip < t.replyCount && t.reply[skip] != kAck && t.reply[skip] != kNak &&
               t.reply[skip] != kCan)
            ++skip;
        if (skip == t.replyCount) continue;
        std::memmove(t.reply.data(), t.reply.data() + skip,
                     static_cast<size_t>(t.replyCount - skip));
        t.replyCount -= skip;
        if (t.reply[0] == kCan && t.replyCount < 3) {
            const int64_t more = t.link.Time.ElapsedMs() + kCancelGatherMs;
            while (t.replyCount < 3 && t.link.Time.ElapsedMs() < more &&
                   HookAwaitInput(t.link, static_cast<int>(more - t.link.Time.ElapsedMs())))
                t.replyCount +=
                    t.link.Port.ReadAvailable(t.reply.data() + t.replyCount, 3 - t.replyCount);
        }
        return t.reply[0];
    }
    return -1;
}

enum class BlockResult { Acknowledged, Unacknowledged, Abort, Stopped, WriteFailed };

// Sends packet n (`length` bytes); false, with a log line, when the port did not take it
// whole: the receiver then has no block to answer.
bool SendPacket(Transfer& t, long n, int length) {
    if (t.link.Port.WriteBytes(t.packet.data(), length) == length) return true;
    HookLog(t.link, u"The port did not take block " + DecimalText(n));
    return false;
}

// Sends block n until it is acknowledged, its deadline passes, the receiver gives up, or
// the caller asks for a stop.
BlockResult SendBlock(Transfer& t, long n) {
    const int length = BuildPacket(t, n);
    const int64_t deadline = t.link.Time.ElapsedMs() + kBlockLimitMs;
    const Text label = DecimalText(n) + u"/" + DecimalText(t.blocks);
    int failedReplies = 0;
    for (;;) {
        HookProgress(t.link, label, n, t.blocks);
        HookPump(t.link);
        int answer = -1;
        if (t.fast) {
            // What is still queued answers an earlier packet (a late reply to one that was
            // sent again): it must not be taken for this packet's reply.
            while (ReadReply(t) > 0) {
            }
            if (!SendPacket(t, n, length)) return BlockResult::WriteFailed;
            answer = AwaitReplyFast(t, kReplyWaitMs);
        } else {
            if (!SendPacket(t, n, length)) return BlockResult::WriteFailed;
            HookWait(t.link, kReplyWaitMs);
            ReadReply(t);
            answer = FirstReplyByte(t);
        }
        if (HookStopped(t.link)) return BlockResult::Stopped;
        if (answer == kAck) return BlockResult::Acknowledged;
        // An unplugged board answers nothing ever again: no point in asking twenty times.
        if (t.link.Port.Vanished()) return BlockResult::Abort;
        if (answer == kCan) {
            // Receivers cancel with several CANs; a lone one may be line noise.
            if (t.replyCount >= 3 && t.reply[1] == kCan && t.reply[2] == kCan)
                return BlockResult::Abort;
        } else {
            if (++failedReplies == kMaxFailedReplies) return BlockResult::Abort;
            // A NAK in fast mode is answered at once: the receiver asked for the block again.
            if (!t.fast || answer != kNak) HookWait(t.link, kRetryPauseMs);
        }
        if (t.link.Time.ElapsedMs() > deadline) return BlockResult::Unacknowledged;
    }
}

// EOT until acknowledged, at most four times about five seconds apart. A receiver that
// never answers it has still had every block; whether those arrived is the blocks' verdict.
// False when the port did not take an EOT: the receiver still waits for more.
bool EndTransfer(Transfer& t) {
    for (int eot = 0; eot < kMaxEots; ++eot) {
        if (WriteByte(t.link.Port, kEot) != 1) {
            HookLog(t.link, u"The port did not take the end of the transfer");
            return false;
        }
        const int64_t deadline = t.link.Time.ElapsedMs() + kEotLimitMs;
        do {
            if (t.fast) {
                // A NAK asks for the EOT again: it goes at once.
                int answer =
                    AwaitReplyFast(t, static_cast<int>(deadline - t.link.Time.ElapsedMs()));
                if (answer == kAck) return true;
                if (answer == kNak) break;
                continue;
            }
            HookWait(t.link, kEotPollMs);
            if (HookStopped(t.link)) return true;
            ReadReply(t);
            if (FirstReplyByte(t) == kAck) return true;
        } while (t.link.Time.ElapsedMs() <= deadline);
    }
    return true;
}

XmodemOutcome Finish(Transfer& t, XmodemOutcome outcome) {
    switch (outcome) {
        case XmodemOutcome::Completed:
            HookLog(t.link, u"Transfer completed OK!");
            break;
        case XmodemOutcome::Failed:
            HookLog(t.link, u"Transfer failed!");
            break;
        case XmodemOutcome::Cancelled:
            HookLog(t.link, u"Transfer cancelled");
            break;
        default:
            HookLog(t.link, u"Transfer failed to start!");
            break;
    }
    HookPump(t.link);
    if (t.fast) {
        // The receiver's prompt, when it shows one, ends the pause early. It may have come
        // with the last reply already, and it may come in pieces, with terminal modes around
        // it: the last bytes received are kept across reads.
        Text tail;
        auto take = [&] {
            for (int i = 0; i < t.replyCount; ++i)
                tail += static_cast<char16_t>(t.reply[i]);
            if (tail.size() > kPromptTail) tail.erase(0, tail.size() - kPromptTail);
        };
        take();
        const int64_t end = t.link.Time.ElapsedMs() + kFinalPauseMs;
        while (!EndsWithPrompt(tail) && t.link.Time.ElapsedMs() < end &&
               HookAwaitInput(t.link, static_cast<int>(end - t.link.Time.ElapsedMs()))) {
            ReadReply(t);
            take();
        }
    } else {
        HookWait(t.link, kFinalPauseMs);
    }
    ReadReply(t);  // whatever the receiver still says is of no use now
    return outcome;
}

// Five CANs tell the receiver to give up.
XmodemOutcome CancelTransfer(Transfer& t, XmodemOutcome outcome) {
    int taken = 0;
    for (int i = 0; i < kCancelBytes; ++i)
        taken += WriteByte(t.link.Port, kCan) == 1 ? 1 : 0;
    if (taken < kCancelBytes)
        HookLog(t.link, u"The port did not take the cancel: the board may still wait for blocks");
    return Finish(t, outcome);
}

XmodemOutcome SendBlocks(Transfer& t, int commandWaitMs, int early) {
    if (!(t.fast ? AwaitStartFast(t, commandWaitMs) : AwaitStart(t, early))) {
        // A receiver that was started is told to stop; one that never answered has nothing
        // to be told, as when the start fails.
        if (t.cancelled || HookStopped(t.link)) return CancelTransfer(t, XmodemOutcome::Cancelled);
        return Finish(t, XmodemOutcome::FailedToStart);
    }
    bool allAcknowledged = true;
    for (long n = 1; n <= t.blocks; ++n) {
        BlockResult r = SendBlock(t, n);
        if (r == BlockResult::Abort) return CancelTransfer(t, XmodemOutcome::Failed);
        if (r == BlockResult::Stopped) return CancelTransfer(t, XmodemOutcome::Cancelled);
        // A port that does not take a packet takes no CAN either.
        if (r == BlockResult::WriteFailed) return Finish(t, XmodemOutcome::Failed);
        // A block whose deadline passed is left behind so the transfer goes on, but the
        // board's copy then lacks it: the transfer must not be reported as completed.
        if (r == BlockResult::Unacknowledged) allAcknowledged = false;
    }
    if (!EndTransfer(t)) return Finish(t, XmodemOutcome::Failed);
    if (HookStopped(t.link)) return CancelTransfer(t, XmodemOutcome::Cancelled);
    return Finish(t, allAcknowledged ? XmodemOutcome::Completed : XmodemOutcome::Failed);
}

}  // namespace

XmodemOutcome SendBytesByXmodem(Link& link, const std::string& content, TextView command,
                                TextView label, int lineDelay, bool fast) {
    Transfer t(link);
    t.fast = fast;
    t.blocks = static_cast<long>((content.size() + kBlockSize - 1) / kBlockSize);
    t.image.assign(content.size() + kBlockSize, 0);  // the last block is padded with 0x00
    std::memcpy(t.image.data(), content.data(), content.size());

    HookLog(link, u"Sending: " + Text(label));
    HookLog(link, u"Blocks: " + DecimalText(t.blocks));
    HookPump(link);
    t.command = AnsiFromText(command);
    SendText(link, command);
    // In fast mode the command's wait is spent waiting for the receiver's first request.
    if (fast) return SendBlocks(t, lineDelay, -1);
    // By default it is a fixed wait; a request that came in it is kept, not drained.
    HookWait(link, lineDelay);
    ReadReply(t);
    int early = -1;
    for (char byte : NotEcho(t))
        if (IsRequest(static_cast<uint8_t>(byte))) early = static_cast<uint8_t>(byte);
    return SendBlocks(t, 0, early);
}

XmodemOutcome SendFileByXmodem(Link& link, TextView path, TextView name, int lineDelay, bool fast) {
    // The file is read whole before the board is told anything: a file that cannot be read
    // in full would otherwise go out with zero bytes in place of what was missing.
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content) {
        Text why = ReadRefusal(path);
        HookLog(link, why.empty() ? u"Cannot read " + Text(path) : why);
        HookPump(link);
        return XmodemOutcome::Unreadable;
    }
    return SendBytesByXmodem(link, *content, u"XMODEM RECEIVE \"" + Text(name) + u"\"\r\n", name,
                             lineDelay, fast);
}
