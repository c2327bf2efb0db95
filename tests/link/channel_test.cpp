#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "link/clock.h"
#include "tests/link/link_support.h"

namespace {

using Channel = PtyLinkTest;

std::string ReadAll(SerialPort& port, int capacity) {
    std::string got;
    uint8_t buffer[64];
    int n = port.ReadAvailable(buffer, capacity);
    if (n > 0) got.assign(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    return got;
}

TEST_F(Channel, WithNoPortOpenEveryOperationSaysSo) {
    uint8_t buffer[4] = {7, 7, 7, 7};
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(port->ReadAvailable(buffer, 4), -1);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(port->WriteBytes(buffer, 4), -1);
    EXPECT_EQ(WriteByte(*port, 65), -1);
    EXPECT_EQ(ReadPendingInput(link), u"");
    EXPECT_FALSE(port->Vanished());
    port->Close();  // closing twice is harmless
}

TEST_F(Channel, OpensRaw8N1WithoutFlowControlAtTheAskedRate) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::None);
    termios tio{};
    ASSERT_EQ(tcgetattr(board.holder, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B38400);
    EXPECT_EQ(cfgetispeed(&tio), B38400);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), tcflag_t{0});
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t{0});
    EXPECT_EQ(tio.c_oflag & OPOST, tcflag_t{0});
}

TEST_F(Channel, ReadsTakeWhatWaitsUpToTheCapacityAndKeepAZeroByteVisible) {
    ASSERT_TRUE(port->Open(PortName(), 115200));
    EXPECT_EQ(ReadAll(*port, 64), "");
    WriteAll(board.master, "0123456789");
    clock.DelayMs(50);
    EXPECT_EQ(ReadAll(*port, 4), "0123");
    EXPECT_EQ(ReadAll(*port, 64), "456789");

    // Received bytes 4F 4B 00 58: the zero byte is shown escaped, what follows it is kept.
    WriteAll(board.master, std::string("OK\0X", 4));
    clock.DelayMs(50);
    EXPECT_EQ(ReadPendingInput(link), u"OK\\x00X");
    EXPECT_EQ(ReadPendingInput(link), u"");
    WriteAll(board.master, "\xE9t\xE9");  // the ANSI code page, not UTF-8
    clock.DelayMs(50);
    EXPECT_EQ(ReadPendingInput(link), u"\u00e9t\u00e9");

    // More than the terminal layer's 4095-byte line buffer: one read takes up to the
    // capacity, the next the rest.
    std::string many(9000, 'q');
    WriteAll(board.master, many);
    clock.DelayMs(50);
    std::vector<uint8_t> big(kChannelBufferSize);
    EXPECT_EQ(port->ReadAvailable(big.data(), kChannelBufferSize), kChannelBufferSize);
    EXPECT_EQ(port->ReadAvailable(big.data(), kChannelBufferSize), 4000);
}

TEST_F(Channel, WriteByteSendsTheLowEightBitsOfPositiveValuesOnly) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    EXPECT_EQ(WriteByte(*port, 0), 0);
    EXPECT_EQ(WriteByte(*port, -5), 0);
    EXPECT_EQ(WriteByte(*port, 24), 1);
    EXPECT_EQ(WriteByte(*port, 0x141), 1);
    const uint8_t bytes[] = {0, 1, 2};
    EXPECT_EQ(port->WriteBytes(bytes, 3), 3);
    EXPECT_EQ(ReadFor(board.master, 100), std::string("\x18"
                                                      "A\0\1\2",
                                                      5));
}

TEST_F(Channel, AStalledWriteGivesUpAfterItsTimeOut) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    // Nobody reads the far end: fill the line's queue a byte at a time.
    uint8_t byte = 'x';
    int queued = 0;
    while (port->WriteBytes(&byte, 1) == 1)
        ASSERT_LT(++queued, 1 << 22);
    const uint8_t five[5] = {1, 2, 3, 4, 5};
    int64_t start = clock.ElapsedMs();
    EXPECT_EQ(port->WriteBytes(five, 5), 0);
    int64_t took = clock.ElapsedMs() - start;
    EXPECT_GE(took, 505);  // 100 ms per byte + 10 ms
}

TEST_F(Channel, PortNamesBecomeDevicePaths) {
    EXPECT_EQ(DevicePathOf(u"/dev/pts/9"), u"/dev/pts/9");
    EXPECT_EQ(DevicePathOf(u"ttyUSB7"), u"/dev/ttyUSB7");
    EXPECT_EQ(DevicePathOf(u"com0"), u"/dev/com0");
    EXPECT_EQ(DevicePathOf(u"comX"), u"/dev/comX");
    if (!std::filesystem::exists("/dev/com3") && !std::filesystem::exists("/dev/COM3")) {
        EXPECT_EQ(DevicePathOf(u"com3"), u"/dev/ttyS2");
        EXPECT_EQ(DevicePathOf(u"COM3"), u"/dev/ttyS2");
    }
    EXPECT_EQ(DevicePathOf(Text(70, u'a')), u"/dev/" + Text(70, u'a'));
}

TEST_F(Channel, ALongPathOpensAsGiven) {
    // As a /dev/serial/by-id name is: a symlink whose path is longer than 59 characters.
    auto folder = std::filesystem::temp_directory_path() / ("qzlong" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string byId =
        folder.string() + "/usb-Board_Maker_Board_E6614C311B4A2D37-if00-port0-serial";
    ASSERT_GT(byId.size(), 59u);
    std::filesystem::create_symlink(board.path, byId);
    EXPECT_TRUE(port->Open(TextFromUtf8(byId), 9600));
    WriteByte(*port, 'k');
    EXPECT_EQ(ReadFor(board.master, 100), "k");
    port->Close();
    std::filesystem::remove_all(folder);
}

// What is not a serial port, a port another program holds and a device the user may not
// open are refused, each in words that say what to do.
TEST_F(Channel, RefusalsNameWhatIsWrong) {
    auto file = std::filesystem::temp_directory_path() / "qz_not_a_tty";
    std::fclose(std::fopen(file.c_str(), "w"));
    for (std::string path : {std::string("/dev/null"), file.string()}) {
        EXPECT_FALSE(port->Open(TextFromUtf8(path), 38400));
        EXPECT_EQ(port->LastOpenFailure(), OpenFailure::NotASerialPort);
        EXPECT_EQ(port->LastOpenFailureReason(), TextFromUtf8("cannot open " + path +
                                                              ": not a serial port (it is not a "
                                                              "terminal device)."));
    }
    std::filesystem::remove(file);

    // Another program holds the port (not exclusively): it would take the board's replies.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, board.path.c_str(), O_RDWR | O_NOCTTY, 0);
    pid_t holder = 0;
    char sleepName[] = "sleep", seconds[] = "5";
    char* argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&holder, "sleep", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    clock.DelayMs(100);
    EXPECT_FALSE(port->Open(PortName(), 38400));
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::Busy);
    EXPECT_EQ(port->LastOpenFailureReason(),
              u"cannot open " + PortName() + u": the port is busy, held by sleep (pid " +
                  DecimalText(holder) + u"). Close that program and try again.");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(port->Open(PortName(), 38400));  // this process's own far end does not count
    port->Close();

    // The permission message names the device's group, not a group of the error's text.
    group* dialout = getgrnam("dialout");
    if (geteuid() != 0 || !dialout) GTEST_SKIP() << "needs root and a dialout group";
    ASSERT_EQ(fchown(board.holder, 0, dialout->gr_gid), 0);
    ASSERT_EQ(fchmod(board.holder, 0660), 0);
    ASSERT_EQ(seteuid(65534), 0);
    bool opened = port->Open(PortName(), 38400);
    ASSERT_EQ(seteuid(0), 0);
    EXPECT_FALSE(opened);
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::PermissionDenied);
    EXPECT_TRUE(Contains(port->LastOpenFailureReason(),
                         u"belongs to the group 'dialout'; join it "
                         u"with 'sudo usermod -aG dialout $USER'"));
}

TEST_F(Channel, FailedOpensSayWhyAndLeaveTheOpenPortAlone) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    EXPECT_FALSE(port->Open(u"/dev/qz-no-such-port", 38400));
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::NoSuchDevice);
    EXPECT_TRUE(Contains(port->LastOpenFailureDetail(), u"/dev/qz-no-such-port"));

    PtyEnd other = OpenPtyEnd();
    for (long long baud : {0LL, 12345LL, -9600LL}) {
        EXPECT_FALSE(port->Open(TextFromUtf8(other.path), baud)) << baud;
        EXPECT_EQ(port->LastOpenFailure(), OpenFailure::BadSettings);
    }
    // After all that the first port is still the channel's.
    EXPECT_TRUE(port->IsOpen());
    WriteByte(*port, '!');
    EXPECT_EQ(ReadFor(board.master, 100), "!");
    ClosePtyEnd(other);
}

TEST_F(Channel, APortIsHeldExclusivelyAndReplacedOnlyByAnOpenedOne) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    // Opening the same port again fails and keeps it open.
    EXPECT_FALSE(port->Open(PortName(), 38400));
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::Busy);
    EXPECT_TRUE(port->IsOpen());
    // Another copy of the tool cannot take it either.
    int rival = open(board.path.c_str(), O_RDWR | O_NOCTTY);
    if (rival >= 0) {  // non-root users are already turned away by TIOCEXCL
        EXPECT_NE(flock(rival, LOCK_EX | LOCK_NB), 0);
        close(rival);
    }

    PtyEnd second = OpenPtyEnd();
    ASSERT_TRUE(port->Open(TextFromUtf8(second.path), 38400));
    WriteByte(*port, '2');
    EXPECT_EQ(ReadFor(second.master, 100), "2");
    EXPECT_EQ(ReadFor(board.master, 50), "");
    // The first port was let go: someone else may lock it now.
    int now = open(board.path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(now, 0);
    EXPECT_EQ(flock(now, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(port->Open(PortName(), 38400));
    EXPECT_EQ(port->LastOpenFailure(), OpenFailure::Busy);
    close(now);
    port->Close();
    ClosePtyEnd(second);
}

TEST_F(Channel, AFarEndThatGoesAwayIsNoticedAndNothingBlocks) {
    ASSERT_TRUE(port->Open(PortName(), 38400));
    EXPECT_FALSE(port->Vanished());
    ClosePtyEnd(board);
    uint8_t buffer[16];
    EXPECT_EQ(port->ReadAvailable(buffer, 16), 0);
    EXPECT_TRUE(port->Vanished());
    int64_t start = clock.ElapsedMs();
    EXPECT_EQ(port->WriteBytes(buffer, 16), 0);
    EXPECT_LT(clock.ElapsedMs() - start, 16 * 100 + 10);  // not the write's time-out
    port->Close();
    EXPECT_FALSE(port->Vanished());
}

void IgnoreSignal(int) {}

TEST(Clock, DelaysLastTheirFullTimeEvenWhenASignalArrives) {
    struct sigaction sa {};
    sa.sa_handler = IgnoreSignal;
    sigaction(SIGUSR1, &sa, nullptr);
    pthread_t self = pthread_self();
    std::thread poke([self] {
        usleep(30000);
        pthread_kill(self, SIGUSR1);
    });
    SystemClock clock;
    int64_t start = clock.ElapsedMs();
    clock.DelayMs(120);
    int64_t took = clock.ElapsedMs() - start;
    poke.join();
    EXPECT_GE(took, 120);
    // No wait at all for zero or less: the bound catches one turned into a long sleep (a
    // negative count read as unsigned), far above what a loaded machine adds.
    int64_t before = clock.ElapsedMs();
    clock.DelayMs(0);
    clock.DelayMs(-10);
    clock.DelayUs(-10);
    EXPECT_LT(clock.ElapsedMs() - before, 1000);
}

// Clocks count from when each was made.
TEST(Clock, EachClockCountsFromItsOwnStart) {
    SystemClock first;
    first.DelayMs(30);
    SystemClock second;
    EXPECT_GE(first.ElapsedUs() - second.ElapsedUs(), 30000);
    EXPECT_GE(second.ElapsedUs(), 0);
}

}  // namespace
