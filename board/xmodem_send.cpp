#include "board/xmodem_send.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/console.h"
#include "board/wire.h"
#include "board/xmodem.h"

namespace {

constexpr uint8_t kSoh = 0x01, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr size_t kBlock = 128;
constexpr int kMaxNaks = 10;
constexpr int64_t kStartLimitUs = 60LL * 1000 * 1000;  // a receiver must ask within a minute
constexpr int64_t kSilenceUs = 10LL * 1000 * 1000;

long BlockCount(const BoardXmodemSend& s) {
    return static_cast<long>(s.Image.size() / kBlock);
}

void End(Board& board, const std::string& message) {
    board.Console.Mode = ConsoleMode::Prompt;
    board.XmodemSend.Image.clear();
    SendToClient(board, "\r\n" + message + kPrompt);
}

// The block in flight (or the EOT after the last), after the board's reaction time.
void SendCurrent(Board& board) {
    BoardXmodemSend& s = board.XmodemSend;
    if (s.Block > BlockCount(s)) {
        SendToClient(board, std::string(1, static_cast<char>(kEot)), board.Options.EchoDelayMs);
        return;
    }
    const uint8_t* data = s.Image.data() + (s.Block - 1) * kBlock;
    std::string packet(1, static_cast<char>(kSoh));
    packet += static_cast<char>(s.Block & 0xFF);
    packet += static_cast<char>(255 - (s.Block & 0xFF));
    packet.append(reinterpret_cast<const char*>(data), kBlock);
    if (s.Crc) {
        uint16_t crc = Crc16Xmodem(data, kBlock);
        packet += static_cast<char>(crc >> 8);
        packet += static_cast<char>(crc & 0xFF);
    } else {
        uint8_t sum = 0;
        for (size_t i = 0; i < kBlock; ++i)
            sum = static_cast<uint8_t>(sum + data[i]);
        packet += static_cast<char>(sum);
    }
    if (s.Block == board.Options.CorruptSendBlock && !s.Corrupted) {
        s.Corrupted = true;
        packet[3 + kBlock / 2] = static_cast<char>(packet[3 + kBlock / 2] ^ 0x20);
        LogStatus("XMODEM block " + std::to_string(s.Block) + " damaged on the wire");
    }
    SendToClient(board, packet, board.Options.EchoDelayMs);
}

bool ReadStored(const Board& board, const std::string& name, std::string& bytes) {
    if (board.Options.Store.empty()) return false;
    std::filesystem::path path = std::filesystem::path(board.Options.Store) / name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return static_cast<bool>(in);
}

}  // namespace

bool StartXmodemSend(Board& board, const std::string& name) {
    std::string bytes;
    if (name.empty()) {
        for (const std::string& line : board.Console.Program)
            bytes += line + "\r\n";
    } else if (!ReadStored(board, name, bytes)) {
        LogStatus("XMODEM SEND " + name + ": no such file");
        return false;
    }
    BoardXmodemSend& s = board.XmodemSend;
    s = BoardXmodemSend{};
    s.Name = name;
    s.Image.assign(bytes.begin(), bytes.end());
    s.Image.resize((bytes.size() + kBlock - 1) / kBlock * kBlock, 0);
    s.StartUs = s.LastByteUs = NowUs();
    board.Console.Mode = ConsoleMode::XmodemSend;
    LogStatus("XMODEM send " + (name.empty() ? std::string("of the program") : name) + ": " +
              std::to_string(bytes.size()) + " bytes");
    return true;
}

void XmodemSendByte(Board& board, uint8_t byte) {
    BoardXmodemSend& s = board.XmodemSend;
    s.LastByteUs = NowUs();
    bool secondCan = byte == kCan && s.CanSeen;
    s.CanSeen = byte == kCan;
    if (secondCan) {
        LogStatus("XMODEM send cancelled by the receiver");
        return End(board, "Error: XMODEM cancelled by the receiver\r\n");
    }
    if (!s.Started) {
        if (byte != kNak && !(byte == 'C' && board.Options.XmodemCrc)) return;
        s.Started = true;
        s.Crc = byte == 'C';
        s.Block = 1;
        LogStatus(std::string("XMODEM send started") + (s.Crc ? " (CRC)" : " (checksum)"));
        return SendCurrent(board);
    }
    if (byte == kAck) {
        if (s.Block > BlockCount(s)) {
            LogStatus("XMODEM sent " + std::to_string(BlockCount(s)) + " blocks");
            return End(board, "");
        }
        ++s.Block;
        s.Naks = 0;
        return SendCurrent(board);
    }
    // A NAK asks for the block again; so does a receiver still asking for CRC mode.
    if (byte == kNak || (byte == 'C' && s.Block == 1)) {
        if (++s.Naks > kMaxNaks) {
            SendToClient(board, std::string(3, static_cast<char>(kCan)));
            return End(board, "Error: XMODEM too many retries\r\n");
        }
        SendCurrent(board);
    }
}

void XmodemSendTick(Board& board) {
    if (board.Console.Mode != ConsoleMode::XmodemSend) return;
    const BoardXmodemSend& s = board.XmodemSend;
    int64_t now = NowUs();
    if (!s.Started && now - s.StartUs > kStartLimitUs)
        End(board, "Error: XMODEM no receiver\r\n");
    else if (s.Started && now - s.LastByteUs > kSilenceUs)
        End(board, "Error: XMODEM receiver went silent\r\n");
}
