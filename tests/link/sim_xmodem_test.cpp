#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "link/xmodem.h"
#include "link/xmodem_receive.h"
#include "tests/link/sim_link.h"

namespace fs = std::filesystem;

namespace {

constexpr char kAck = 0x06, kNak = 0x15, kCan = 0x18, kEot = 0x04;

// The board's side of a transfer, by script: the start byte it asks with, what it answers
// to each attempt at each block, and whether it acknowledges EOT.
struct Receiver {
    std::string Start = "C";
    std::function<std::string(int block, int attempt)> Answer = [](int, int) {
        return std::string(1, kAck);
    };
    bool AnswersEot = true;

    std::string Command;
    std::vector<std::string> Packets;
    std::vector<int64_t> PacketTimes;
    std::map<int, int> Attempts;  // per block number byte
    std::vector<int64_t> EotTimes;
    int Cans = 0;
    int Block = 0;  // the block being sent, counting from 1

    void Hear(SimLink& sim, const std::string& bytes) {
        if (bytes.rfind("XMODEM RECEIVE", 0) == 0) {
            Command = bytes;
            // After the command's own wait has read what came back, during the start wait.
            if (!Start.empty()) sim.line.PeerSends(Start, 500);
        } else if (bytes.size() >= 132 && bytes[0] == 0x01) {
            Packets.push_back(bytes);
            PacketTimes.push_back(sim.clock.ElapsedMs());
            int number = static_cast<uint8_t>(bytes[1]);
            if (Attempts[number]++ == 0) ++Block;
            sim.line.PeerSends(Answer(Block, Attempts[number]), 10);
        } else if (bytes == std::string(1, kEot)) {
            EotTimes.push_back(sim.clock.ElapsedMs());
            if (AnswersEot) sim.line.PeerSends(std::string(1, kAck), 10);
        } else if (bytes == std::string(1, kCan)) {
            ++Cans;
        }
    }
};

class SimXmodem : public ::testing::Test {
protected:
    void SetUp() override {
        sim.line.OnWrite = [this](const std::string& b) { board.Hear(sim, b); };
        path = fs::temp_directory_path() / ("qz_sim_" + std::to_string(getpid()) + ".bin");
    }
    void TearDown() override { fs::remove(path); }

    XmodemOutcome Send(const std::string& bytes, bool fast = false) {
        std::ofstream(path, std::ios::binary) << bytes;
        content = bytes;
        return SendFileByXmodem(sim.link, Text(path.u16string()), u"data.bin", 120, fast);
    }
    // Block n as the file image holds it: 128 bytes, zero-padded past the end.
    std::string Data(size_t n) {
        std::string d = content.substr(std::min(content.size(), (n - 1) * 128), 128);
        return d + std::string(128 - d.size(), '\0');
    }

    SimLink sim{38400};
    Receiver board;
    fs::path path;
    std::string content;
};

std::string Random(size_t size) {
    std::mt19937 gen(static_cast<unsigned>(size));
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

TEST_F(SimXmodem, CrcPacketsCarryTheFileInOrderAndTheBlockNumberWraps) {
    EXPECT_EQ(Send(Random(257 * 128 + 44)), XmodemOutcome::Completed);
    EXPECT_EQ(board.Command, "XMODEM RECEIVE \"data.bin\"\r\n");
    ASSERT_EQ(board.Packets.size(), 258u);
    for (size_t n = 1; n <= 258; ++n) {
        const std::string& p = board.Packets[n - 1];
        ASSERT_EQ(p.size(), 133u);
        EXPECT_EQ(static_cast<uint8_t>(p[1]), n % 256);
        EXPECT_EQ(static_cast<uint8_t>(p[2]), 255 - n % 256);
        ASSERT_EQ(p.substr(3, 128), Data(n)) << n;
        uint16_t crc = XmodemCrc(reinterpret_cast<const uint8_t*>(p.data() + 3), 128);
        EXPECT_EQ(static_cast<uint8_t>(p[131]), crc >> 8);
        EXPECT_EQ(static_cast<uint8_t>(p[132]), crc & 0xFF);
    }
    EXPECT_EQ(board.Packets[255][1], 0);  // block 256
    EXPECT_EQ(static_cast<uint8_t>(board.Packets[255][2]), 255);
    EXPECT_EQ(board.EotTimes.size(), 1u);
    EXPECT_EQ(sim.log,
              (std::vector<Text>{u"Sending: data.bin", u"Blocks: 258", u"Transfer completed OK!"}));
    EXPECT_EQ(sim.progress, u"258/258");
    // One attempt costs the 200 ms reply wait and the packet's line time.
    EXPECT_NEAR(board.PacketTimes[257] - board.PacketTimes[256], 200 + 1330 / 38.4, 1);
}

TEST_F(SimXmodem, ChecksumPacketsEndInTheByteSumAndThePaddingIsZero) {
    board.Start = std::string(1, kNak);
    EXPECT_EQ(Send(Random(300)), XmodemOutcome::Completed);
    ASSERT_EQ(board.Packets.size(), 3u);
    for (size_t n = 1; n <= 3; ++n) {
        const std::string& p = board.Packets[n - 1];
        ASSERT_EQ(p.size(), 132u);
        uint8_t sum = 0;
        for (int i = 3; i < 131; ++i)
            sum = static_cast<uint8_t>(sum + p[i]);
        EXPECT_EQ(static_cast<uint8_t>(p[131]), sum);
    }
    EXPECT_EQ(board.Packets[2].substr(3, 128), content.substr(256) + std::string(84, '\0'));
    EXPECT_EQ(sim.log[1], u"Blocks: 3");
}

TEST_F(SimXmodem, AnEmptyFileGoesStraightToTheEnd) {
    EXPECT_EQ(Send(""), XmodemOutcome::Completed);
    EXPECT_TRUE(board.Packets.empty());
    EXPECT_EQ(board.EotTimes.size(), 1u);
    EXPECT_EQ(sim.log[1], u"Blocks: 0");
}

TEST_F(SimXmodem, TwentyNaksToOneBlockAbortWithFiveCans) {
    board.Answer = [](int, int) { return std::string(1, kNak); };
    EXPECT_EQ(Send(Random(1000)), XmodemOutcome::Failed);
    ASSERT_EQ(board.Packets.size(), 20u);
    for (const std::string& p : board.Packets)
        EXPECT_EQ(p, board.Packets[0]);
    EXPECT_LT(board.PacketTimes.back() - board.PacketTimes.front(), 10000);
    EXPECT_EQ(board.Cans, 5);
    EXPECT_TRUE(board.EotTimes.empty());
    EXPECT_EQ(sim.log.back(), u"Transfer failed!");
}

TEST_F(SimXmodem, ALoneCanIsPassedOverButThreeAbort) {
    board.Answer = [](int block, int attempt) {
        if (block == 1) return std::string(attempt == 1 ? "\x18" : "\x06");
        return std::string(3, kCan);
    };
    EXPECT_EQ(Send(Random(1000)), XmodemOutcome::Failed);
    ASSERT_EQ(board.Packets.size(), 3u);
    // No retry pause after the lone CAN: the next attempt follows the 200 ms wait at once.
    EXPECT_NEAR(board.PacketTimes[1] - board.PacketTimes[0], 200 + 1330 / 38.4, 1);
    EXPECT_EQ(board.Cans, 5);
    EXPECT_EQ(sim.log.back(), u"Transfer failed!");
}

TEST_F(SimXmodem, AnUnansweredEndIsSentFourTimesAndStillCompletes) {
    board.AnswersEot = false;
    EXPECT_EQ(Send(Random(200)), XmodemOutcome::Completed);
    ASSERT_EQ(board.EotTimes.size(), 4u);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_GE(board.EotTimes[i] - board.EotTimes[i - 1], 5000);
        EXPECT_LE(board.EotTimes[i] - board.EotTimes[i - 1], 5600);
    }
    EXPECT_EQ(sim.log.back(), u"Transfer completed OK!");
}

TEST_F(SimXmodem, ABlockLeftUnacknowledgedAtItsDeadlineFailsTheTransfer) {
    // At 1200 baud one attempt takes 1.1 s of line time: twenty do not fit in 10 s.
    sim.line.Open(u"sim", 1200);
    board.Answer = [](int block, int) { return std::string(block == 1 ? "" : "\x06"); };
    EXPECT_EQ(Send(Random(256)), XmodemOutcome::Failed);
    int64_t firstTry = board.PacketTimes[0];
    ASSERT_EQ(board.Attempts[1], 8);  // the eighth ends past the deadline
    ASSERT_EQ(board.Packets.size(), 9u);
    EXPECT_EQ(board.Packets[8][1], 2);  // the sender went on with block 2
    EXPECT_GT(board.PacketTimes[8] - firstTry, 10000);
    EXPECT_EQ(board.Cans, 0);
    EXPECT_EQ(board.EotTimes.size(), 1u);
    EXPECT_EQ(sim.log.back(), u"Transfer failed!");
}

TEST_F(SimXmodem, NoStartByteOrACancelFailsTheStartAndSendsNothingMore) {
    board.Start = "";
    int64_t start = sim.clock.ElapsedMs();
    EXPECT_EQ(Send(Random(500)), XmodemOutcome::FailedToStart);
    // The command's line time and wait, the first look, a minute of looks, the final pause.
    EXPECT_NEAR(sim.clock.ElapsedMs() - start, 270 / 38.4 + 120 + 1000 + 60000 + 300, 1);
    EXPECT_EQ(sim.line.Written.size(), 1u);
    EXPECT_EQ(sim.log.back(), u"Transfer failed to start!");

    sim.log.clear();
    sim.line.Written.clear();
    board.Start = std::string(1, kCan);
    EXPECT_EQ(Send(Random(500)), XmodemOutcome::FailedToStart);
    EXPECT_EQ(sim.line.Written.size(), 1u);

    // Noise first, the request later: the sender keeps polling and takes it.
    sim.log.clear();
    board.Start = "xyz";
    sim.line.OnWrite = [this](const std::string& b) {
        board.Hear(sim, b);
        if (b[0] == 'X') sim.line.PeerSends("C", 1800);
    };
    EXPECT_EQ(Send(Random(500)), XmodemOutcome::Completed);
    EXPECT_EQ(board.Packets[0].size(), 133u);
}

TEST_F(SimXmodem, FastModeActsOnEachReplyAsItArrives) {
    // The board echoes the command (its "C" in RECEIVE is no request) and asks for CRC
    // 5 ms later, well inside the command's own wait; block 2 is refused once.
    sim.line.OnWrite = [this](const std::string& b) {
        if (b.rfind("XMODEM", 0) == 0) {
            board.Command = b;
            sim.line.PeerSends(b, 1);
            sim.line.PeerSends("C", 5);
            return;
        }
        board.Hear(sim, b);
    };
    board.Answer = [](int block, int attempt) {
        return std::string(1, block == 2 && attempt == 1 ? kNak : kAck);
    };
    EXPECT_EQ(Send(Random(128 * 4), true), XmodemOutcome::Completed);
    ASSERT_EQ(board.Packets.size(), 5u);
    EXPECT_EQ(board.Packets[2], board.Packets[1]);
    EXPECT_EQ(board.Packets[4].substr(3, 128), Data(4));
    const double packetMs = 1330 / 38.4;
    // The first packet follows the request at once, each other one its ACK or NAK (10 ms).
    EXPECT_NEAR(board.PacketTimes[0], 270 / 38.4 + 5 + packetMs, 1.5);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NEAR(board.PacketTimes[i] - board.PacketTimes[i - 1], 10 + packetMs, 1.5) << i;
    EXPECT_EQ(board.EotTimes.size(), 1u);
    EXPECT_EQ(sim.log.back(), u"Transfer completed OK!");
}

// A slow receiver: it echoes the command a character at a time (its "C" is no request, even
// past the command's wait), asks at once, and asks again only every 5 s. Both modes start on
// the early request, in checksum mode; a Cancel ends a start that never comes, telling the
// receiver.
TEST_F(SimXmodem, AnEarlyRequestIsTakenTheEchoIsNoneAndCancelEndsTheWait) {
    for (int charMs : {20, 3}) {  // the requests within the command's wait, or after it
        SCOPED_TRACE(charMs);
        bool fast = charMs == 20;
        board = Receiver();
        sim.line.OnWrite = [this, charMs](const std::string& b) {
            if (b.rfind("XMODEM", 0) != 0) return board.Hear(sim, b);
            board.Command = b;
            int at = 0;
            for (size_t i = 0; i < b.size(); ++i)
                sim.line.PeerSends(b.substr(i, 1), at += charMs);
            sim.line.PeerSends(std::string(2, kNak), at + 1);
        };
        int64_t start = sim.clock.ElapsedMs();
        EXPECT_EQ(Send(Random(300), fast), XmodemOutcome::Completed);
        ASSERT_EQ(board.Packets.size(), 3u);
        EXPECT_EQ(board.Packets[0].size(), 132u);
        EXPECT_LT(board.PacketTimes[0] - start, fast ? 600 : 1200);
    }

    board = Receiver();
    board.Start = "";
    sim.line.OnWrite = [this](const std::string& b) { board.Hear(sim, b); };
    int64_t start = sim.clock.ElapsedMs();
    sim.link.Hooks.Pump = [this, start] { return sim.clock.ElapsedMs() - start > 20000; };
    EXPECT_EQ(Send(Random(300)), XmodemOutcome::Cancelled);
    EXPECT_LT(sim.clock.ElapsedMs() - start, 21000);
    EXPECT_EQ(board.Cans, 5);
    EXPECT_TRUE(board.Packets.empty());
}

TEST_F(SimXmodem, ABoardUnpluggedMidwayEndsAtOnce) {
    bool& unplugged = sim.line.Unplugged;
    board.Answer = [&unplugged](int block, int) {
        if (block == 2) unplugged = true;
        return std::string(1, kAck);
    };
    EXPECT_EQ(Send(Random(128 * 10)), XmodemOutcome::Failed);
    EXPECT_EQ(board.Packets.size(), 2u);
    // Block 2 went out once before the plug was pulled; it is not tried again, and only the
    // five CANs found no port.
    EXPECT_EQ(sim.line.RefusedWrites, 5);
    EXPECT_EQ(sim.log.back(), u"Transfer failed!");
}

// A write the port does not take ends the transfer there, with a log line: a packet that
// did not go out has no answer to wait for, and no CAN is tried after it.
TEST_F(SimXmodem, APacketThePortRefusesFailsTheTransferAtOnce) {
    // The progress shows just before each block goes out.
    sim.link.Hooks.Progress = [this](TextView, long, long) { sim.line.Unplugged = true; };
    EXPECT_EQ(Send(Random(300)), XmodemOutcome::Failed);
    EXPECT_TRUE(board.Packets.empty());
    EXPECT_EQ(sim.line.RefusedWrites, 1);
    EXPECT_EQ(sim.log, (std::vector<Text>{u"Sending: data.bin", u"Blocks: 3",
                                          u"The port did not take block 1", u"Transfer failed!"}));
}

}  // namespace

// The receiver against a scripted sender on the simulated line.
class SimReceive : public ::testing::Test {
protected:
    void SetUp() override {
        sim.line.OnWrite = [this](const std::string& b) { Hear(b); };
    }
    static std::string Packet(int n, std::string data) {
        data.resize(128, '\0');
        uint16_t crc = XmodemCrc(reinterpret_cast<const uint8_t*>(data.data()), 128);
        return std::string{0x01, static_cast<char>(n), static_cast<char>(255 - n)} + data +
               static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
    }
    void Hear(const std::string& bytes) {
        heard += bytes;
        if (bytes.rfind("XMODEM SEND", 0) == 0) return sim.line.PeerSends(bytes, 5);  // the echo
        if (replies.empty()) return;
        sim.line.PeerSends(replies.front(), 10);
        replies.erase(replies.begin());
    }
    SimLink sim{38400};
    std::vector<std::string> replies;  // the sender's answer to each byte the receiver sends
    std::string heard;
};

TEST_F(SimReceive, ARepeatedBlockIsKeptOnceAndTheZeroPaddingGoes) {
    replies = {Packet(1, "one"), Packet(1, "one"), Packet(2, "two"), std::string(1, kEot), ""};
    ReceivedFile got = ReceiveFileByXmodem(sim.link, u"f.bas");
    EXPECT_EQ(got.Outcome, ReceiveOutcome::Completed);
    EXPECT_EQ(got.Bytes, "one" + std::string(125, '\0') + "two");
    EXPECT_EQ(heard, "XMODEM SEND \"f.bas\"\r\nC" + std::string(4, kAck));
}

TEST_F(SimReceive, AStalledSenderEndsWithAMessageAndACancel) {
    replies = {Packet(1, "one")};  // then silence
    int64_t start = sim.clock.ElapsedMs();
    ReceivedFile got = ReceiveFileByXmodem(sim.link, {});
    EXPECT_EQ(got.Outcome, ReceiveOutcome::Failed);
    EXPECT_LT(sim.clock.ElapsedMs() - start, 15000);
    EXPECT_EQ(sim.log.back(), u"Receive failed: nothing came from the board for 10 seconds");
    EXPECT_EQ(heard.substr(heard.size() - 5), std::string(5, kCan));
    EXPECT_EQ(heard.rfind("XMODEM SEND\r\n", 0), 0u);
}

TEST_F(SimReceive, AnAcknowledgementThePortRefusesFailsTheReception) {
    replies = {Packet(1, "one"), Packet(2, "two"), std::string(1, kEot)};
    sim.link.Hooks.Progress = [this](TextView, long, long) { sim.line.Unplugged = true; };
    ReceivedFile got = ReceiveFileByXmodem(sim.link, u"f.bas");
    EXPECT_EQ(got.Outcome, ReceiveOutcome::Failed);
    EXPECT_EQ(sim.line.RefusedWrites, 1);
    EXPECT_EQ(sim.log.back(), u"Receive failed: the port did not take an acknowledgement");
}
