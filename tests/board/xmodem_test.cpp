#include <fcntl.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "board/xmodem.h"
#include "board_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& ch : bytes)
        ch = static_cast<char>(random());
    return bytes;
}

// One XMODEM packet with a 128-byte (SOH) or 1024-byte (STX) block of `data`, zero-padded.
std::string Packet(int number, std::string data, bool crc, size_t size = 128) {
    data.resize(size, '\0');
    std::string p(1, size == 128 ? kSoh : kStx);
    p += static_cast<char>(number & 0xFF);
    p += static_cast<char>(255 - (number & 0xFF));
    p += data;
    if (crc) {
        uint16_t value = Crc16Xmodem(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        p += static_cast<char>(value >> 8);
        p += static_cast<char>(value & 0xFF);
    } else {
        uint8_t sum = 0;
        for (char ch : data)
            sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(ch));
        p += static_cast<char>(sum);
    }
    return p;
}

class Xmodem : public BoardTest {
protected:
    // Asks the board to receive `name`; returns the echo of the command line.
    std::string Receive(const std::string& name) {
        Send(client, "XMODEM RECEIVE \"" + name + "\"\r\n");
        return ReadLineExactly(client);
    }
    // Runs lrzsz's sx on the port (its stdin and stdout), as a real XMODEM sender.
    int RunSx(const fs::path& file) {
        fcntl(client, F_SETFL, fcntl(client, F_GETFL) & ~O_NONBLOCK);
        pid_t pid = fork();
        if (pid == 0) {
            dup2(client, 0);
            dup2(client, 1);
            int err = open((board.Dir / "sx.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            execl("/usr/bin/sx", "sx", file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        fcntl(client, F_SETFL, fcntl(client, F_GETFL) | O_NONBLOCK);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Sends a file with sx and checks that the board stored it with sx's 0x1A padding.
    void SendWithSx(size_t size, unsigned seed) {
        std::string data = RandomBytes(size, seed);
        fs::path file = board.Dir / "payload.bin";
        std::ofstream(file, std::ios::binary) << data;
        EXPECT_EQ(Receive("payload.bin"), "XMODEM RECEIVE \"payload.bin\"\r\n");
        ASSERT_EQ(RunSx(file), 0) << FileText(board.Dir / "sx.log");
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(board.Store / "payload.bin"); }));
        std::string stored = Stored("payload.bin");
        ASSERT_EQ(stored.size(), (size + 127) / 128 * 128);
        EXPECT_EQ(stored.substr(0, size), data);
        EXPECT_EQ(stored.substr(size), std::string(stored.size() - size, '\x1a'));
        // Back at the prompt.
        EXPECT_EQ(Say("\x03"), "\r\n> ");
    }
};

TEST(XmodemCheck, Crc16OfTheNineDigits) {
    const char digits[] = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(digits), 9), 0x31C3);
}

TEST_F(Xmodem, ReceivesFromSxInCrcMode) {
    Start();
    SendWithSx(1000, 1);
    EXPECT_NE(BoardLog(board).find("(CRC)"), std::string::npos);
}

TEST_F(Xmodem, ReceivesFromSxInChecksumModeDespiteNaks) {
    Start({"--xmodem", "checksum", "--nak-blocks", "2,5", "--nak-count", "2"});
    SendWithSx(5 * 128 + 1, 2);
    EXPECT_NE(BoardLog(board).find("(checksum)"), std::string::npos);
    EXPECT_NE(FileText(board.Dir / "sx.log").find("NAK"), std::string::npos);
}

TEST_F(Xmodem, ChecksBlocksAndHandlesRepeats) {
    Start();
    Receive("data.bin");
    EXPECT_EQ(ReadUntil(client, "C", 1500), "C");
    std::string one = RandomBytes(128, 3), two = RandomBytes(1024, 4);
    std::string bad = Packet(1, one, true);
    bad[10] ^= 0x01;  // damaged in transit: the CRC no longer fits
    EXPECT_EQ(Say(bad, std::string(1, kNak)), std::string(1, kNak));
    std::string badNumber = Packet(1, one, true);
    badNumber[2] = 0;  // complement does not match
    EXPECT_EQ(Say(badNumber, std::string(1, kNak)), std::string(1, kNak));
    EXPECT_EQ(Say(Packet(1, one, true), std::string(1, kAck)), std::string(1, kAck));
    // Our ACK was "lost": the same block again is acknowledged but kept only once.
    EXPECT_EQ(Say(Packet(1, one, true), std::string(1, kAck)), std::string(1, kAck));
    EXPECT_EQ(Say(Packet(2, two, true, 1024), std::string(1, kAck)), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot)), std::string(1, kAck) + "\r\n> ");
    EXPECT_EQ(Stored("data.bin"), one + two);
}

TEST_F(Xmodem, ChecksumModeAsksWithNakAndTakesPartialBlocksAsNak) {
    Start({"--xmodem", "checksum"});
    Receive("x.bin");
    EXPECT_EQ(ReadUntil(client, std::string(1, kNak), 1500), std::string(1, kNak));
    // Half a block, then silence: after a second the board gives up on it and NAKs.
    std::string packet = Packet(1, "hello", false);
    Send(client, packet.substr(0, 60));
    long long sent = MonotonicMs();
    EXPECT_EQ(ReadUntil(client, std::string(1, kNak), 2500), std::string(1, kNak));
    EXPECT_GE(MonotonicMs() - sent, 900);
    EXPECT_EQ(Say(packet, std::string(1, kAck)), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot)), std::string(1, kAck) + "\r\n> ");
    EXPECT_EQ(Stored("x.bin"), Packet(1, "hello", false).substr(3, 128));
}

TEST_F(Xmodem, FaultOptionsRefuseBlocks) {
    Start({"--can-block", "2"});
    Receive("c.bin");
    ReadUntil(client, "C", 1500);
    EXPECT_EQ(Say(Packet(1, "a", true), std::string(1, kAck)), std::string(1, kAck));
    EXPECT_EQ(Say(Packet(2, "b", true)),
              std::string(3, kCan) + "\r\nError: XMODEM block refused\r\n> ");
    EXPECT_FALSE(fs::exists(board.Store / "c.bin"));
    TearDown();

    Start({"--nak-all"});
    Receive("n.bin");
    ReadUntil(client, "C", 1500);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Say(Packet(1, "a", true), std::string(1, kNak)), std::string(1, kNak));
    // The sender's cancel (CAN CAN) ends the reception.
    EXPECT_EQ(Say(std::string(5, kCan)), "\r\nError: XMODEM cancelled by the sender\r\n> ");
}

TEST_F(Xmodem, IgnoreEotKeepsTheFileButNeverAcknowledges) {
    Start({"--ignore-eot"});
    Receive("e.bin");
    ReadUntil(client, "C", 1500);
    EXPECT_EQ(Say(Packet(1, "eot", true), std::string(1, kAck)), std::string(1, kAck));
    Send(client, std::string(1, kEot));
    EXPECT_EQ(ReadFor(client, 600), "");
    Send(client, std::string(1, kEot));
    EXPECT_EQ(ReadFor(client, 300), "");
    EXPECT_EQ(Stored("e.bin"), Packet(1, "eot", true).substr(3, 128));
}

TEST_F(Xmodem, OutOfSequenceBlockCancels) {
    Start();
    Receive("s.bin");
    ReadUntil(client, "C", 1500);
    EXPECT_EQ(Say(Packet(3, "skip", true)),
              std::string(3, kCan) + "\r\nError: XMODEM block out of sequence\r\n> ");
    EXPECT_EQ(Say("XMODEM RECEIVE \"../up.bin\"\r\n"),
              "XMODEM RECEIVE \"../up.bin\"\r\nError: XMODEM RECEIVE \"name\" or SEND [\"name\"] "
              "expected\r\n> ");
}

}  // namespace
