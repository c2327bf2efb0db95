#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "link/clock.h"
#include "link/xmodem.h"
#include "link/xmodem_receive.h"
#include "tests/link/link_support.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

class Xmodem : public PtyLinkTest {
protected:
    void SetUp() override {
        PtyLinkTest::SetUp();
        folder = fs::temp_directory_path() /
                 ("qzx" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder / "board");
        ASSERT_TRUE(port->Open(PortName(), 115200));
    }
    void TearDown() override {
        PtyLinkTest::TearDown();
        fs::remove_all(folder);
    }
    Text WriteSource(const std::string& bytes) {
        fs::path p = folder / "source.bin";
        std::ofstream(p, std::ios::binary) << bytes;
        return Text(p.u16string());
    }
    fs::path folder;
    // Sends `bytes` to lrzsz's rx behind a relay that plays the interpreter, and checks
    // that rx stored them, padded to whole blocks with zero bytes.
    void SendToRx(const std::string& bytes, bool crc, bool fast = false) {
        int rxEnd = -1;
        std::vector<std::string> argv{"rx", "-q", "stored.bin"};
        if (crc) argv.insert(argv.begin() + 1, "-c");
        pid_t rx = SpawnOnSocket(argv, (folder / "board").string(), &rxEnd);
        XmodemOutcome outcome;
        std::string command;
        {
            Relay line(board.master, rxEnd, {0, true});
            outcome = SendFileByXmodem(link, WriteSource(bytes), u"f.bin", kTestLineDelay, fast);
            command = line.Command();
        }
        EXPECT_EQ(WaitChild(rx, 5000), 0);
        close(rxEnd);
        EXPECT_EQ(command, "XMODEM RECEIVE \"f.bin\"\r\n");
        EXPECT_EQ(outcome, XmodemOutcome::Completed);
        size_t blocks = (bytes.size() + 127) / 128;
        std::vector<Text> expected{u"Sending: f.bin", u"Blocks: " + DecimalText(long(blocks)),
                                   u"Transfer completed OK!"};
        EXPECT_EQ(log, expected);
        std::string stored = Slurp(folder / "board" / "stored.bin");
        ASSERT_EQ(stored.size(), blocks * 128);
        EXPECT_TRUE(stored.substr(0, bytes.size()) == bytes);
        EXPECT_EQ(stored.substr(bytes.size()), std::string(stored.size() - bytes.size(), '\0'));
        if (blocks > 0) {
            Text count = DecimalText(long(blocks));
            EXPECT_EQ(progress, count + u"/" + count);
        }
    }
};

// Files of no block, one full block and a part-filled third block.
const size_t kSmallSizes[] = {0, 128, 300};

TEST_F(Xmodem, RxStoresSmallFilesInCrcMode) {
    for (bool fast : {false, true})
        for (size_t size : kSmallSizes) {
            SCOPED_TRACE(testing::Message() << "size " << size << (fast ? " fast" : ""));
            log.clear();
            SendToRx(RandomBytes(size, static_cast<unsigned>(size)), true, fast);
        }
}

TEST_F(Xmodem, RxStoresSmallFilesInChecksumMode) {
    for (size_t size : kSmallSizes) {
        SCOPED_TRACE(testing::Message() << "size " << size);
        log.clear();
        SendToRx(RandomBytes(size, static_cast<unsigned>(size) + 1), false);
    }
}

TEST_F(Xmodem, ThreeCansFromTheReceiverAbortTheTransfer) {
    std::jthread receiver([this] {
        ReadCount(board.master, 24, 2000);  // the receive command
        usleep(300000);                     // past the command's own wait
        WriteAll(board.master, "C");
        ReadCount(board.master, 133, 3000);
        WriteAll(board.master, "\x18\x18\x18");
        got = ReadFor(board.master, 700);
    });
    EXPECT_EQ(SendFileByXmodem(link, WriteSource(RandomBytes(1000, 1)), u"f.bin", kTestLineDelay),
              XmodemOutcome::Failed);
    receiver.join();
    EXPECT_EQ(got, std::string(5, '\x18'));
    EXPECT_EQ(log.back(), u"Transfer failed!");
}

TEST_F(Xmodem, AReceiverThatVanishesFailsTheTransfer) {
    std::jthread receiver([this] {
        ReadCount(board.master, 24, 2000);
        usleep(300000);
        WriteAll(board.master, "\x15");
        ReadCount(board.master, 132, 3000);
        WriteAll(board.master, "\x06");
        ReadCount(board.master, 132, 3000);
        ClosePtyEnd(board);  // the board is unplugged during block 2
    });
    EXPECT_EQ(
        SendFileByXmodem(link, WriteSource(RandomBytes(128 * 40, 2)), u"f.bin", kTestLineDelay),
        XmodemOutcome::Failed);
    EXPECT_TRUE(port->Vanished());
    EXPECT_EQ(log.back(), u"Transfer failed!");
}

TEST_F(Xmodem, AFileThatCannotBeReadStopsBeforeTheBoardIsTold) {
    Text missing = Text((folder / "gone.bin").u16string());
    EXPECT_EQ(SendFileByXmodem(link, missing, u"gone.bin", kTestLineDelay),
              XmodemOutcome::Unreadable);
    EXPECT_EQ(log, std::vector<Text>{u"Cannot read " + missing});
    EXPECT_EQ(ReadFor(board.master, 50), "");
}

// lrzsz's sx as the board's sender: it pads the last block with 0x1A, which is kept (only
// zero padding is dropped).
TEST_F(Xmodem, ReceivesFromSx) {
    std::string data = RandomBytes(1000, 9);
    std::ofstream(folder / "board" / "f.bin", std::ios::binary) << data;
    int sxEnd = -1;
    pid_t sx = SpawnOnSocket({"sx", "-q", "f.bin"}, (folder / "board").string(), &sxEnd);
    ReceivedFile file;
    std::string command;
    {
        Relay line(board.master, sxEnd, {0, true});
        file = ReceiveFileByXmodem(link, u"f.bin");
        command = line.Command();
    }
    EXPECT_EQ(WaitChild(sx, 5000), 0);
    close(sxEnd);
    EXPECT_EQ(command, "XMODEM SEND \"f.bin\"\r\n");
    EXPECT_EQ(file.Outcome, ReceiveOutcome::Completed);
    EXPECT_TRUE(file.Bytes == data + std::string(24, '\x1a'));
    EXPECT_EQ(log.back(), u"Received 1024 bytes in 8 blocks");
}

TEST(XmodemCrc, MatchesTheCheckValueOfCrc16Xmodem) {
    const std::string digits = "123456789";
    EXPECT_EQ(XmodemCrc(reinterpret_cast<const uint8_t*>(digits.data()), 9), 0x31C3);
}

}  // namespace
