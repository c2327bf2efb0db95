// The XMODEM sender: the board's interpreter is told to receive a file, then the file goes
// out in 128-byte blocks with the 8-bit checksum or the CRC-16, as the receiver asks.
//
// Everything is paced by fixed sleeps and reads that never block: the tool has one thread,
// and the caller's pump hook runs once per block attempt so its window stays alive.
#include "link/xmodem.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "source/files.h"

namespace {

constexpr uint8_t kSoh = 0x01, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr uint8_t kWantCrc = 'C';
constexpr int kBlockSize = 128;
constexpr int kBufferSize = 1040;
constexpr int kStartWaitMs = 1000, kStartPollMs = 100, kStartPolls = 30, kStartLimitMs = 3000;
constexpr int kReplyWaitMs = 200, kRetryPauseMs = 50, kMaxFailedReplies = 20;
constexpr int kBlockLimitMs = 10000;
constexpr int kEotPollMs = 500, kEotLimitMs = 5000, kMaxEots = 4;
constexpr int kCancelBytes = 5, kFinalPauseMs = 300;

enum class Check { Sum, Crc };

// One transfer's memory: the zero-padded file image and the packet and reply buffers.
// It all goes when the transfer ends, whatever its outcome.
struct Transfer {
    std::vector<uint8_t> image;
    long blocks = 0;
    std::vector<uint8_t> packet = std::vector<uint8_t>(kBufferSize, 0);
    std::vector<uint8_t> reply = std::vector<uint8_t>(kBufferSize, 0);
    int replyCount = 0;  // what the last read brought, in `reply`
    Check check = Check::Sum;
    const LinkHooks* hooks = nullptr;
};

int ReadReply(Transfer& t) {
    t.replyCount = ReadAvailable(t.reply.data(), kBufferSize);
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

// Waits for the receiver's first NAK (checksum) or "C" (CRC). False when it never came, the
// receiver cancelled, or the caller asked for a stop.
bool AwaitStart(Transfer& t) {
    HookWait(*t.hooks, kStartWaitMs);
    if (HookStopped(*t.hooks)) return false;
    int candidate = ReadReply(t) > 0 ? t.reply[t.replyCount - 1] : -1;
    const int64_t deadline = ElapsedMs() + kStartLimitMs;
    for (int failedPolls = 1;; ++failedPolls) {
        if (candidate == kCan) return false;
        if (candidate == kNak || candidate == kWantCrc) {
            t.check = candidate == kWantCrc ? Check::Crc : Check::Sum;
            return true;
        }
        if (failedPolls == kStartPolls) return false;
        HookWait(*t.hooks, kStartPollMs);
        if (HookStopped(*t.hooks)) return false;
        ReadReply(t);
        candidate = FirstReplyByte(t);
        if (ElapsedMs() > deadline) {
            t.check = Check::Sum;
            return true;
        }
    }
}

enum class BlockResult { Acknowledged, Unacknowledged, Abort, Stopped };

// Sends block n until it is acknowledged, its deadline passes, the receiver gives up, or
// the caller asks for a stop.
BlockResult SendBlock(Transfer& t, long n) {
    const int length = BuildPacket(t, n);
    const int64_t deadline = ElapsedMs() + kBlockLimitMs;
    const Text label = DecimalText(n) + u"/" + DecimalText(t.blocks);
    int failedReplies = 0;
    for (;;) {
        HookProgress(*t.hooks, label);
        HookPump(*t.hooks);
        WriteBytes(t.packet.data(), length);
        HookWait(*t.hooks, kReplyWaitMs);
        if (HookStopped(*t.hooks)) return BlockResult::Stopped;
        ReadReply(t);
        int answer = FirstReplyByte(t);
        if (answer == kAck) return BlockResult::Acknowledged;
        if (answer == kCan) {
            // Receivers cancel with several CANs; a lone one may be line noise.
            if (t.replyCount >= 3 && t.reply[1] == kCan && t.reply[2] == kCan)
                return BlockResult::Abort;
        } else {
            if (++failedReplies == kMaxFailedReplies) return BlockResult::Abort;
            HookWait(*t.hooks, kRetryPauseMs);
        }
        if (ElapsedMs() > deadline) return BlockResult::Unacknowledged;
    }
}

// EOT until acknowledged, at most four times about five seconds apart. A receiver that
// never answers it has still had every block; whether those arrived is the blocks' verdict.
void EndTransfer(Transfer& t) {
    for (int eot = 0; eot < kMaxEots; ++eot) {
        WriteByte(kEot);
        const int64_t deadline = ElapsedMs() + kEotLimitMs;
        do {
            HookWait(*t.hooks, kEotPollMs);
            if (HookStopped(*t.hooks)) return;
            ReadReply(t);
            if (FirstReplyByte(t) == kAck) return;
        } while (ElapsedMs() <= deadline);
    }
}

XmodemOutcome Finish(Transfer& t, XmodemOutcome outcome) {
    switch (outcome) {
        case XmodemOutcome::Completed:
            HookLog(*t.hooks, u"Transfer completed OK!");
            break;
        case XmodemOutcome::Failed:
            HookLog(*t.hooks, u"Transfer failed!");
            break;
        case XmodemOutcome::Cancelled:
            HookLog(*t.hooks, u"Transfer cancelled");
            break;
        default:
            HookLog(*t.hooks, u"Transfer failed to start!");
            break;
    }
    HookPump(*t.hooks);
    HookWait(*t.hooks, kFinalPauseMs);
    ReadReply(t);  // whatever the receiver still says is of no use now
    return outcome;
}

// Five CANs tell the receiver to give up.
XmodemOutcome CancelTransfer(Transfer& t, XmodemOutcome outcome) {
    for (int i = 0; i < kCancelBytes; ++i)
        WriteByte(kCan);
    return Finish(t, outcome);
}

XmodemOutcome SendBlocks(Transfer& t) {
    if (!AwaitStart(t)) {
        // A receiver that was started is told to stop; one that never answered has nothing
        // to be told, as when the start fails.
        if (HookStopped(*t.hooks)) return CancelTransfer(t, XmodemOutcome::Cancelled);
        return Finish(t, XmodemOutcome::FailedToStart);
    }
    bool allAcknowledged = true;
    for (long n = 1; n <= t.blocks; ++n) {
        BlockResult r = SendBlock(t, n);
        if (r == BlockResult::Abort) return CancelTransfer(t, XmodemOutcome::Failed);
        if (r == BlockResult::Stopped) return CancelTransfer(t, XmodemOutcome::Cancelled);
        // A block whose deadline passed is left behind so the transfer goes on, but the
        // board's copy then lacks it: the transfer must not be reported as completed.
        if (r == BlockResult::Unacknowledged) allAcknowledged = false;
    }
    EndTransfer(t);
    if (HookStopped(*t.hooks)) return CancelTransfer(t, XmodemOutcome::Cancelled);
    return Finish(t, allAcknowledged ? XmodemOutcome::Completed : XmodemOutcome::Failed);
}

}  // namespace

XmodemOutcome SendFileByXmodem(TextView path, TextView name, int lineDelay,
                               const LinkHooks& hooks) {
    // The file is read whole before the board is told anything: a file that cannot be read
    // in full would otherwise go out with zero bytes in place of what was missing.
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content) {
        HookLog(hooks, u"Cannot read " + Text(path));
        HookPump(hooks);
        return XmodemOutcome::Unreadable;
    }
    Transfer t;
    t.hooks = &hooks;
    t.blocks = static_cast<long>((content->size() + kBlockSize - 1) / kBlockSize);
    t.image.assign(content->size() + kBlockSize, 0);  // the last block is padded with 0x00
    std::memcpy(t.image.data(), content->data(), content->size());
    content.reset();

    HookLog(hooks, u"Sending: " + Text(name));
    HookLog(hooks, u"Blocks: " + DecimalText(t.blocks));
    HookPump(hooks);
    SendAndWait(u"XMODEM RECEIVE \"" + Text(name) + u"\"\r\n", 0, lineDelay, hooks);
    return SendBlocks(t);
}
