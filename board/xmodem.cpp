#include "board/xmodem.h"

#include "board/console.h"
#include "board/store.h"
#include "board/wire.h"

namespace {

constexpr uint8_t kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr int64_t kRequestIntervalUs = 1000 * 1000;
constexpr int kRequestLimit = 30;
constexpr int64_t kBlockGapUs = 1000 * 1000;   // a block that stalls this long is NAKed
constexpr int64_t kSilenceUs = 10000 * 1000;   // a sender silent this long has gone
constexpr int64_t kDrainUs = 6000 * 1000;      // with --ignore-eot: quiet this long ends it
constexpr int64_t kPurgeQuietUs = 100 * 1000;  // a damaged block's rest: quiet this long
constexpr int64_t kEotQuietUs = 50 * 1000;     // an EOT is one when this quiet follows it
constexpr size_t kFileLimit = 16 * 1024 * 1024;
// The picomite personality asks at once, again at once for every stray byte before the
// first block, then every 5 s, and gives up after a minute.
constexpr int64_t kSlowRequestIntervalUs = 5000 * 1000;
constexpr int64_t kSlowStartLimitUs = 60000 * 1000;

// The receiver's replies take the board as long to make as a line end's echo does.
void SendByte(Board& board, uint8_t byte) {
    SendToClient(board, std::string(1, static_cast<char>(byte)), board.Options.EchoDelayMs);
}

bool SlowReceiver(const Board& board) {
    return board.Options.Kind == Personality::Picomite;
}

void Request(Board& board) {
    SendByte(board, board.Xmodem.Crc ? 'C' : kNak);
}

void BackToPrompt(Board& board, const std::string& message) {
    board.Console.Mode = ConsoleMode::Prompt;
    board.Xmodem.Packet.clear();
    board.Xmodem.Data.clear();
    SendToClient(board, "\r\n" + message + ModesBefore(board) + Prompt(board));
}

void Cancel(Board& board, const std::string& why) {
    LogStatus("XMODEM " + board.Xmodem.Name + " cancelled: " + why);
    SendToClient(board, std::string(3, static_cast<char>(kCan)));
    BackToPrompt(board, "Error: XMODEM " + why + "\r\n");
}

void Finish(Board& board) {
    BoardXmodem& x = board.Xmodem;
    std::string bytes(x.Data.begin(), x.Data.end());
    if (x.Name.empty()) {
        TakeProgramText(board, bytes);
        LogStatus("XMODEM received the program: " + std::to_string(x.Expected - 1) + " blocks, " +
                  std::to_string(board.Console.Program.size()) + " lines");
    } else {
        WriteStoreFile(board, x.Name, bytes);
        LogStatus("XMODEM received " + x.Name + ": " + std::to_string(x.Expected - 1) +
                  " blocks, " + std::to_string(bytes.size()) + " bytes");
    }
    if (board.Options.IgnoreEot) {
        x.Phase = XmodemPhase::Draining;  // the file is kept; the EOT is never answered
        return;
    }
    SendByte(board, kAck);
    BackToPrompt(board, "");
}

size_t PacketLength(const BoardXmodem& x) {
    size_t data = x.Packet[0] == kStx ? 1024 : 128;
    return 3 + data + (x.Crc ? 2 : 1);
}

bool CheckValueGood(const BoardXmodem& x) {
    const std::vector<uint8_t>& p = x.Packet;
    size_t size = p.size() - 3 - (x.Crc ? 2 : 1);
    const uint8_t* data = p.data() + 3;
    if (x.Crc) return Crc16Xmodem(data, size) == ((p[p.size() - 2] << 8) | p.back());
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    return sum == p.back();
}

// The fault options that turn a good block down; true when the block is to be NAKed.
bool InjectedNak(Board& board, long sequence) {
    const BoardOptions& o = board.Options;
    if (o.NakAll) return true;
    if (!o.NakBlocks.count(sequence)) return false;
    int& done = board.Xmodem.Naks[sequence];
    return done++ < o.NakCount;
}

// A damaged block: the rest of it, and anything else still on its way, is dropped until the
// line is quiet; then the block is asked for again. NAKing at once would make the block's
// rest (or the block sent again) look like the start of a new one.
void Purge(Board& board) {
    board.Xmodem.Packet.clear();
    board.Xmodem.Phase = XmodemPhase::Purging;
}

void JudgePacket(Board& board) {
    BoardXmodem& x = board.Xmodem;
    uint8_t number = x.Packet[1], complement = x.Packet[2];
    bool good = number + complement == 255 && CheckValueGood(x);
    std::vector<uint8_t> data(x.Packet.begin() + 3, x.Packet.end() - (x.Crc ? 2 : 1));
    x.Packet.clear();
    if (!good) return Purge(board);
    if (number == static_cast<uint8_t>(x.Expected)) {
        if (board.Options.CanBlock == x.Expected) return Cancel(board, "block refused");
        if (InjectedNak(board, x.Expected)) return SendByte(board, kNak);
        if (x.Data.size() + data.size() > kFileLimit) return Cancel(board, "file too large");
        x.Data.insert(x.Data.end(), data.begin(), data.end());
        ++x.Expected;
        return SendByte(board, kAck);
    }
    // The sender missed our ACK and sent the last block again: acknowledge, keep it once.
    if (x.Expected > 1 && number == static_cast<uint8_t>(x.Expected - 1))
        return SendByte(board, kAck);
    Cancel(board, "block out of sequence");
}

void HeaderByte(Board& board, uint8_t byte) {
    BoardXmodem& x = board.Xmodem;
    bool secondCan = byte == kCan && x.CanSeen;
    x.CanSeen = false;
    if (byte == kSoh || byte == kStx) {
        x.Phase = XmodemPhase::Receiving;
        x.Packet.push_back(byte);
    } else if (byte == kEot) {
        x.Phase = XmodemPhase::EotPending;
    } else if (byte == kCan) {
        // Two CANs in a row are the sender's cancel; one alone may be line noise.
        if (secondCan) {
            LogStatus("XMODEM " + x.Name + " cancelled by the sender");
            return BackToPrompt(board, "Error: XMODEM cancelled by the sender\r\n");
        }
        x.CanSeen = true;
    } else if (SlowReceiver(board) && x.Phase == XmodemPhase::Requesting) {
        Request(board);  // a stray byte before the first block is answered with a request
    } else if (x.Phase == XmodemPhase::Receiving) {
        Purge(board);  // not a block's start: a damaged one
    }
    // Before the first block, anything else (the LF of the command's CR LF) is passed over.
}

}  // namespace

void StartXmodemReceive(Board& board, const std::string& name) {
    BoardXmodem& x = board.Xmodem;
    x = BoardXmodem{};
    x.Name = name;
    x.Crc = board.Options.XmodemCrc;
    x.StartUs = x.NextRequestUs = x.LastByteUs = NowUs();
    board.Console.Mode = ConsoleMode::Xmodem;
    LogStatus("XMODEM receive " + (name.empty() ? std::string("into program memory") : name) +
              (x.Crc ? " (CRC)" : " (checksum)"));
}

void XmodemByte(Board& board, uint8_t byte) {
    BoardXmodem& x = board.Xmodem;
    x.LastByteUs = NowUs();
    if (x.Phase == XmodemPhase::Draining || x.Phase == XmodemPhase::Purging) return;
    if (x.Phase == XmodemPhase::EotPending) return Purge(board);  // that EOT was noise
    if (x.Packet.empty()) return HeaderByte(board, byte);
    x.Packet.push_back(byte);
    if (x.Packet.size() == PacketLength(x)) JudgePacket(board);
}

void XmodemTick(Board& board) {
    BoardXmodem& x = board.Xmodem;
    if (board.Console.Mode != ConsoleMode::Xmodem) return;
    int64_t now = NowUs();
    if (x.Phase == XmodemPhase::Draining) {
        if (now - x.LastByteUs > kDrainUs) BackToPrompt(board, "");
    } else if (x.Phase == XmodemPhase::Requesting && SlowReceiver(board)) {
        if (now - x.StartUs >= kSlowStartLimitUs) {
            LogStatus("XMODEM " + x.Name + ": no sender");
            return BackToPrompt(board, "Error : Remote did not respond\r\n");
        }
        if (now < x.NextRequestUs) return;
        Request(board);
        x.NextRequestUs = now + kSlowRequestIntervalUs;
    } else if (x.Phase == XmodemPhase::Purging) {
        if (now - x.LastByteUs > kPurgeQuietUs) {
            x.Phase = XmodemPhase::Receiving;
            SendByte(board, kNak);
        }
    } else if (x.Phase == XmodemPhase::EotPending) {
        if (now - x.LastByteUs > kEotQuietUs) Finish(board);
    } else if (x.Phase == XmodemPhase::Requesting && now >= x.NextRequestUs) {
        if (x.Requests++ == kRequestLimit) return Cancel(board, "no sender");
        Request(board);
        x.NextRequestUs = now + kRequestIntervalUs;
    } else if (x.Phase == XmodemPhase::Receiving) {
        if (!x.Packet.empty() && now - x.LastByteUs > kBlockGapUs) {
            x.Packet.clear();
            SendByte(board, kNak);
            x.LastByteUs = now;
        } else if (now - x.LastByteUs > kSilenceUs) {
            Cancel(board, "sender went silent");
        }
    }
}

uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count) {
    uint16_t crc = 0;
    for (size_t i = 0; i < count; ++i) {
        crc = static_cast<uint16_t>(crc ^ (bytes[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}
