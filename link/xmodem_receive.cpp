// The XMODEM receiver. Everything waits on the port and acts on each byte as it arrives: an
// acknowledgement goes the moment a block is whole and checked, so a transfer takes little
// more than its packets' line time.
#include "link/xmodem_receive.h"

#include <cstdint>

#include "link/clock.h"
#include "link/link.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "link/xmodem.h"
#include "source/files.h"

namespace {

constexpr uint8_t kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr uint8_t kWantCrc = 'C';
constexpr int kEchoLimitMs = 2000;     // the command's echo
constexpr int kCrcRequests = 3;        // "C" this often, then NAK for a checksum sender
constexpr int kRequestEveryMs = 1000;  // between requests for the first block
constexpr int kStartRequests = 10;     // requests in all before giving up
constexpr int kPacketGapMs = 1000;     // silence inside a packet: the rest is lost
constexpr int kNextBlockMs = 3000;     // silence between blocks: ask again with NAK
constexpr int kStallMs = 10000;        // nothing at all this long: the board stopped
constexpr int kMaxErrors = 10;         // bad or missing blocks in a row
constexpr int kQuietMs = 50;           // what follows a bad packet is let pass this long
constexpr int kPromptWaitMs = 500;     // the board's prompt after the transfer
constexpr int kCancelBytes = 5;

struct Reception {
    explicit Reception(Link& over) : Line(over) {}
    Link& Line;
    std::string In;  // read from the port, not yet taken
    size_t At = 0;
    int64_t LastByteMs = 0;
    bool Crc = true;
    std::string Data;
    size_t LastBlockSize = 0;
    long Blocks = 0;  // new blocks taken
    Text Words;       // the board's own text before the first block
};

// The next byte within `ms`, or -1 when none came (or a stop was asked for).
int NextByte(Reception& r, int ms) {
    const int64_t deadline = r.Line.Time.ElapsedMs() + ms;
    while (r.At == r.In.size()) {
        if (HookStopped(r.Line)) return -1;
        int64_t left = deadline - r.Line.Time.ElapsedMs();
        if (left <= 0) return -1;
        if (!HookAwaitInput(r.Line, static_cast<int>(left))) continue;
        uint8_t buffer[2048];
        int got = r.Line.Port.ReadAvailable(buffer, sizeof buffer);
        if (got <= 0) continue;
        r.In.erase(0, r.At);
        r.At = 0;
        r.In.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
        r.LastByteMs = r.Line.Time.ElapsedMs();
    }
    return static_cast<uint8_t>(r.In[r.At++]);
}

// Lets the rest of a damaged packet pass: bytes until the line has been quiet a moment.
void LetPass(Reception& r) {
    while (NextByte(r, kQuietMs) >= 0) {
    }
}

bool Stalled(Reception& r) {
    return r.Line.Time.ElapsedMs() - r.LastByteMs > kStallMs;
}

ReceivedFile Fail(Reception& r, ReceiveOutcome outcome, const Text& why, bool cancel) {
    if (cancel) {
        int taken = 0;
        for (int i = 0; i < kCancelBytes; ++i)
            taken += WriteByte(r.Line.Port, kCan) == 1 ? 1 : 0;
        if (taken < kCancelBytes)
            HookLog(r.Line, u"The port did not take the cancel: the board may still be sending");
    }
    HookLog(r.Line, outcome == ReceiveOutcome::Cancelled ? u"Receive cancelled"
                                                         : u"Receive failed: " + why);
    ReceivedFile result;
    result.Outcome = outcome;
    result.BoardWords = r.Words;
    return result;
}

// The command's echo, up to its line end; what follows it stays to be read.
void AwaitEcho(Reception& r) {
    const int64_t end = r.Line.Time.ElapsedMs() + kEchoLimitMs;
    for (int b; r.Line.Time.ElapsedMs() < end &&
                (b = NextByte(r, static_cast<int>(end - r.Line.Time.ElapsedMs()))) >= 0;)
        if (b == '\n') return;
}

enum class Start { Block, Refused, Cancelled, None, Stopped, WriteFailed };

// Asks for the first block: "C" a few times, then NAK. The first header byte stays to be
// read. Text before it is the board's answer to the command: its prompt means it refused.
Start AwaitFirstBlock(Reception& r) {
    std::string words;
    bool canSeen = false;
    for (int request = 0; request < kStartRequests; ++request) {
        r.Crc = request < kCrcRequests;
        if (WriteByte(r.Line.Port, r.Crc ? kWantCrc : kNak) != 1) return Start::WriteFailed;
        const int64_t next = r.Line.Time.ElapsedMs() + kRequestEveryMs;
        for (int64_t now = r.Line.Time.ElapsedMs(); now < next; now = r.Line.Time.ElapsedMs()) {
            int b = NextByte(r, static_cast<int>(next - now));
            if (HookStopped(r.Line)) return Start::Stopped;
            if (b < 0) break;
            if (b == kSoh || b == kStx) {
                --r.At;
                return Start::Block;
            }
            if (b == kCan && canSeen) return Start::Cancelled;
            canSeen = b == kCan;
            if (b == kCan) continue;
            words += static_cast<char>(b);
            r.Words = TextFromAnsi(words);
            if (EndsWithPrompt(r.Words)) return Start::Refused;  // modes around it seen through
        }
    }
    return Start::None;
}

enum class Packet { Good, Repeat, Bad, OutOfSequence, TooLarge, Missing };

// Reads the packet whose header is `header` and checks it; a good new block is kept.
Packet TakePacket(Reception& r, int header) {
    const size_t size = header == kStx ? 1024 : 128;
    const size_t length = 2 + size + (r.Crc ? 2 : 1);
    std::string p;
    while (p.size() < length) {
        int b = NextByte(r, kPacketGapMs);
        if (b < 0) return Packet::Missing;
        p += static_cast<char>(b);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(p.data());
    const uint8_t* data = bytes + 2;
    bool good = bytes[0] + bytes[1] == 255;
    if (r.Crc) {
        good = good && XmodemCrc(data, static_cast<int>(size)) ==
                           ((bytes[2 + size] << 8) | bytes[3 + size]);
    } else {
        uint8_t sum = 0;
        for (size_t i = 0; i < size; ++i)
            sum = static_cast<uint8_t>(sum + data[i]);
        good = good && sum == bytes[2 + size];
    }
    if (!good) return Packet::Bad;
    const uint8_t expected = static_cast<uint8_t>(r.Blocks + 1);
    if (bytes[0] == static_cast<uint8_t>(r.Blocks) && r.Blocks > 0) return Packet::Repeat;
    if (bytes[0] != expected) return Packet::OutOfSequence;
    if (r.Data.size() + size > kProgramFileLimit) return Packet::TooLarge;
    r.Data.append(reinterpret_cast<const char*>(data), size);
    r.LastBlockSize = size;
    ++r.Blocks;
    return Packet::Good;
}

// After the transfer the board shows its prompt: it is taken here so that it does not
// stand in front of the next exchange's reply.
void AwaitPrompt(Reception& r) {
    int before = -1, last = -1;
    while (!(before == '>' && last == ' ')) {
        int b = NextByte(r, kPromptWaitMs);
        if (b < 0) return;
        before = last;
        last = b;
    }
}

ReceivedFile ReceiveBlocks(Reception& r) {
    int errors = 0;
    bool canSeen = false;
    for (;;) {
        if (HookStopped(r.Line)) return Fail(r, ReceiveOutcome::Cancelled, {}, true);
        int header = NextByte(r, kNextBlockMs);
        // A port that does not take an answer takes no CAN either: the reception ends there.
        if (header == kEot) {
            if (WriteByte(r.Line.Port, kAck) != 1)
                return Fail(r, ReceiveOutcome::Failed, u"the port did not take an acknowledgement",
                            false);
            break;
        }
        if (header == kCan && canSeen)
            return Fail(r, ReceiveOutcome::Failed, u"the board cancelled the transfer", false);
        canSeen = header == kCan;
        Packet got = Packet::Missing;
        if (header == kSoh || header == kStx) {
            got = TakePacket(r, header);
        } else if (header >= 0) {
            continue;  // line noise between packets
        }
        if (HookStopped(r.Line)) return Fail(r, ReceiveOutcome::Cancelled, {}, true);
        switch (got) {
            case Packet::Good:
                HookProgress(r.Line, DecimalText(r.Blocks));
                [[fallthrough]];
            case Packet::Repeat:  // our ACK was lost: the block is kept once
                errors = 0;
                if (WriteByte(r.Line.Port, kAck) != 1)
                    return Fail(r, ReceiveOutcome::Failed,
                                u"the port did not take an acknowledgement", false);
                break;
            case Packet::OutOfSequence:
                return Fail(
                    r, ReceiveOutcome::Failed,
                    u"the board sent a block out of sequence after block " + DecimalText(r.Blocks),
                    true);
            case Packet::TooLarge:
                return Fail(r, ReceiveOutcome::Failed,
                            u"the file is larger than " +
                                DecimalText(static_cast<long long>(kProgramFileLimit)) + u" bytes",
                            true);
            case Packet::Bad:
                LetPass(r);
                [[fallthrough]];
            case Packet::Missing:
                if (Stalled(r))
                    return Fail(r, ReceiveOutcome::Failed,
                                u"nothing came from the board for " + DecimalText(kStallMs / 1000) +
                                    u" seconds",
                                true);
                if (++errors == kMaxErrors)
                    return Fail(r, ReceiveOutcome::Failed,
                                u"block " + DecimalText(r.Blocks + 1) + u" failed " +
                                    DecimalText(kMaxErrors) + u" times",
                                true);
                if (WriteByte(r.Line.Port, kNak) != 1)
                    return Fail(r, ReceiveOutcome::Failed,
                                u"the port did not take a request to send a block again", false);
                break;
        }
    }
    AwaitPrompt(r);
    size_t keep = r.Data.size();
    const size_t floor = keep - r.LastBlockSize;
    while (keep > floor && r.Data[keep - 1] == '\0')
        --keep;
    r.Data.resize(keep);
    HookLog(r.Line, u"Received " + DecimalText(static_cast<long long>(keep)) + u" bytes in " +
                        DecimalText(r.Blocks) + u" blocks");
    ReceivedFile result;
    result.Outcome = ReceiveOutcome::Completed;
    result.Bytes = std::move(r.Data);
    return result;
}

}  // namespace

ReceivedFile ReceiveFileByXmodem(Link& link, TextView name) {
    Reception r(link);
    r.LastByteMs = link.Time.ElapsedMs();
    HookLog(link,
            name.empty() ? Text(u"Receiving the program in memory") : u"Receiving: " + Text(name));
    HookPump(link);
    ReadPendingInput(link);  // what the board said before is no answer to this command
    SendText(link,
             name.empty() ? Text(u"XMODEM SEND\r\n") : u"XMODEM SEND \"" + Text(name) + u"\"\r\n");
    AwaitEcho(r);
    switch (AwaitFirstBlock(r)) {
        case Start::Block:
            return ReceiveBlocks(r);
        case Start::Refused: {
            Text words = TrimBlanks(ReplaceChar(ReplaceChar(r.Words, u'\r', u' '), u'\n', u' '));
            if (words.size() >= 1 && words.back() == u'>') words.pop_back();
            r.Words = TrimBlanks(words);
            HookLog(link, r.Words);
            return Fail(
                r, ReceiveOutcome::Refused,
                u"the board did not send " + (name.empty() ? Text(u"its program") : Text(name)),
                false);
        }
        case Start::Cancelled:
            return Fail(r, ReceiveOutcome::Failed, u"the board cancelled the transfer", false);
        case Start::Stopped:
            return Fail(r, ReceiveOutcome::Cancelled, {}, true);
        case Start::WriteFailed:  // a port that does not take a request takes no CAN either
            return Fail(r, ReceiveOutcome::Failed, u"the port did not take the request to send",
                        false);
        case Start::None:
            break;
    }
    return Fail(r, ReceiveOutcome::NoStart, u"the board did not start sending", true);
}
