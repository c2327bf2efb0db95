// qz-upload run as a user runs it: on a pseudo-terminal of its own, with the simulated
// board on the serial side.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frontends/cli/window_cli.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/board_peer.h"

namespace {

// qz-upload with a pseudo-terminal for its standard input, output and error.
struct TerminalRun {
    pid_t Pid = -1;
    int Master = -1;
    int Slave = -1;  // kept open to read the terminal's settings after the run
    std::string Seen;

    explicit TerminalRun(const std::vector<std::string>& args, const std::string& configHome = "",
                         const std::string& pin = "", const std::string& folder = "") {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(Master);
        unlockpt(Master);
        std::string slavePath = ptsname(Master);
        Slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        Pid = fork();
        if (Pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            setsid();
            if (!configHome.empty()) setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
            if (!pin.empty()) setenv("QZ_PIN", pin.c_str(), 1);
            if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
            int tty = open(slavePath.c_str(), O_RDWR);  // becomes the controlling terminal
            dup2(tty, 0);
            dup2(tty, 1);
            dup2(tty, 2);
            std::vector<std::string> all = {QZ_BINARY_DIR "/frontends/cli/qz-upload"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~TerminalRun() {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        close(Master);
        close(Slave);
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(Master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // Everything shown until the program ends (within 20 s), and its exit code.
    int Finish() {
        int status = 0;
        for (int i = 0; i < 400 && waitpid(Pid, &status, WNOHANG) == 0; ++i)
            Drain(50);
        Drain(0);
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Drain(int waitMs) {
        pollfd p{Master, POLLIN, 0};
        char buffer[1024];
        while (poll(&p, 1, waitMs) > 0) {
            ssize_t n = read(Master, buffer, sizeof buffer);
            if (n <= 0) return;
            Seen.append(buffer, static_cast<size_t>(n));
        }
    }
    // Reads until `text` has been shown (after what was seen before), up to 10 s.
    bool WaitFor(const std::string& text) {
        size_t from = Seen.size();
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Seen.find(text, from > text.size() ? from - text.size() : 0) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            pollfd p{Master, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buffer[1024];
            ssize_t n = read(Master, buffer, sizeof buffer);
            if (n <= 0) return false;
            Seen.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }
};

TEST(QzUpload, UploadThenTalkToTheProgramFollowTheBoardAcrossAReplugAndLeave) {
    std::filesystem::path dir = FreshFolder("qz-console");
    std::string link = (dir / "port").string();
    BoardPeer board = StartBoard({"--link", link});
    {
        std::ofstream program(dir / "ask.bas");
        program << "Print \"hello\"\nInput \"Name\"; n$\nPrint \"hi \"; n$\n";
    }
    TerminalRun run({"--port", link, "--baud", "115200", "--console", "--capture",
                     (dir / "capture.txt").string(), (dir / "ask.bas").string()});
    termios before{};
    tcgetattr(run.Slave, &before);
    ASSERT_TRUE(run.WaitFor("Ctrl-] leaves")) << run.Seen;
    EXPECT_NE(run.Seen.find("Name? "), std::string::npos) << run.Seen;
    run.Type("Ada\r");
    ASSERT_TRUE(run.WaitFor("hi Ada")) << run.Seen;
    // Ctrl-C is the board's, not ours; an escape sequence from the board is shown inert.
    run.Type("\x03print chr$(27) + \"[2J\"\r");
    ASSERT_TRUE(run.WaitFor("\\x1B[2J")) << run.Seen;

    StopBoard(board);
    ASSERT_TRUE(run.WaitFor("waiting for it on " + link)) << run.Seen;
    BoardPeer again = StartBoard({"--link", link});
    ASSERT_TRUE(run.WaitFor("back on " + link)) << run.Seen;
    run.Type("print 6 * 7\r");
    ASSERT_TRUE(run.WaitFor("42")) << run.Seen;
    run.Type("\x1d");
    EXPECT_EQ(run.Finish(), 0);
    termios after{};
    tcgetattr(run.Slave, &after);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    std::ifstream capture(dir / "capture.txt", std::ios::binary);
    std::string captured((std::istreambuf_iterator<char>(capture)), {});
    EXPECT_NE(captured.find("hi Ada\r\n"), std::string::npos);
    EXPECT_NE(captured.find("\x1b[2J"), std::string::npos);  // the file keeps the bytes
    StopBoard(again);
}

TEST(QzUpload, TheConsoleFindsTheBoardByItsUsbIdentityUnderANewName) {
    FakeSysfs sys;
    sys.AddUsb("ttyACM0", "1-1", false, "2e8a", "000a", "Maker", "Board", "S1");
    sys.InstallDevRoot();
    BoardPeer first = StartBoard();
    std::filesystem::create_symlink(first.Tty, sys.DevRoot() + "/ttyACM0");
    TerminalRun run({"--port", sys.DevRoot() + "/ttyACM0", "--console"});
    ASSERT_TRUE(run.WaitFor("Ctrl-] leaves")) << run.Seen;
    StopBoard(first);
    ASSERT_TRUE(run.WaitFor("or any port with its USB identity")) << run.Seen;
    sys.Remove("ttyACM0");
    std::filesystem::remove(sys.DevRoot() + "/ttyACM0");
    BoardPeer second = StartBoard();
    sys.AddUsb("ttyACM1", "1-3", false, "2e8a", "000a", "Maker", "Board", "S1");
    std::filesystem::create_symlink(second.Tty, sys.DevRoot() + "/ttyACM1");
    ASSERT_TRUE(run.WaitFor("back on " + sys.DevRoot() + "/ttyACM1 (same USB serial number S1)"))
        << run.Seen;
    run.Type("print 6 * 7\r");
    EXPECT_TRUE(run.WaitFor("42")) << run.Seen;
    run.Type("\x1d");
    EXPECT_EQ(run.Finish(), 0);
    StopBoard(second);
}

// Three saves, one of them as editors make it (a temporary file renamed over the old one),
// give three uploads more, and the console shows each run's output between them.
TEST(QzUpload, WatchUploadsAgainOnEachSave) {
    std::filesystem::path dir = FreshFolder("qz-watch");
    std::filesystem::path program = dir / "loop.bas";
    auto save = [&](int run, bool byRename) {
        std::filesystem::path written = byRename ? dir / ".loop.bas.swp" : program;
        std::ofstream(written) << "print \"run " << run << "\"\n";
        if (byRename) std::filesystem::rename(written, program);
    };
    save(1, false);
    BoardPeer board = StartBoard();
    TerminalRun run({"--port", board.Tty, "--baud", "115200", "--fast", "--settings",
                     (dir / "none.inf").string(), "--watch", program.string()});
    std::ofstream(dir / "none.inf").close();
    ASSERT_TRUE(run.WaitFor("Ctrl-] leaves")) << run.Seen;
    EXPECT_NE(run.Seen.find("run 1"), std::string::npos) << run.Seen;
    // Each of these shown, in this order, after `from`, within 10 s.
    auto shownInOrder = [&](size_t from, const std::vector<std::string>& texts) {
        for (int i = 0; i < 200; ++i, run.Drain(50)) {
            size_t at = from;
            for (const std::string& text : texts)
                if (at != std::string::npos) at = run.Seen.find(text, at);
            if (at != std::string::npos) return true;
        }
        return false;
    };
    for (int n = 2; n <= 4; ++n) {
        size_t from = run.Seen.size();
        save(n, n == 3);
        ASSERT_TRUE(shownInOrder(from, {"save " + std::to_string(n - 1) + " of " + program.string(),
                                        "run " + std::to_string(n) + "\r", "Ctrl-] leaves"}))
            << run.Seen;
    }
    run.Drain(400);  // a doubled save would start another upload meanwhile
    run.Type("\x1d");
    EXPECT_EQ(run.Finish(), 0) << run.Seen;
    size_t uploads = 0;
    for (size_t at = 0; (at = run.Seen.find("Micromite upload started", at)) != std::string::npos;
         ++at)
        ++uploads;
    EXPECT_EQ(uploads, 4u) << run.Seen;
    EXPECT_EQ(StoredFile(board, "program.bas"), "print \"run 4\"\n");
    StopBoard(board);
}

TEST(QzUpload, TheOnlyUsbPortIsUsedAndSeveralAreListed) {
    FakeSysfs sys;
    sys.AddUsb("ttyACM0", "1-1", false, "2e8a", "000a", "Maker", "Board", "S1");
    sys.Add("ttyS0", true, "4");
    sys.InstallDevRoot();
    BoardPeer board = StartBoard();
    std::filesystem::create_directories(sys.DevRoot());
    std::filesystem::create_symlink(board.Tty, sys.DevRoot() + "/ttyACM0");
    std::filesystem::path dir = FreshFolder("qz-choice");
    std::ofstream(dir / "p.bas") << "print 1\n";

    TerminalRun one({(dir / "p.bas").string()}, dir.string());
    EXPECT_EQ(one.Finish(), 0) << one.Seen;
    EXPECT_NE(one.Seen.find("Using the only USB serial port: " + sys.DevRoot() + "/ttyACM0"),
              std::string::npos)
        << one.Seen;
    EXPECT_EQ(StoredFile(board, "program.bas"), "print 1\n");

    sys.AddUsb("ttyUSB0", "1-2", true, "0403", "6001", "FTDI", "UART", "A5");
    TerminalRun two({(dir / "p.bas").string()}, dir.string());
    EXPECT_EQ(two.Finish(), 3);
    EXPECT_NE(two.Seen.find("several USB serial ports"), std::string::npos) << two.Seen;
    EXPECT_NE(two.Seen.find("/ttyUSB0  0403:6001 FTDI UART serial A5"), std::string::npos);
    StopBoard(board);
}

TEST(QzUpload, TyposAreUsageErrorsAndTheChosenPathAndPinAreUsed) {
    std::filesystem::path big = FreshFolder("qz-typos") / "big.inf";
    std::ofstream(big) << "[Micromite]\n";
    std::filesystem::resize_file(big, 5 << 20);  // read by the loading, refused here too
    for (std::vector<std::string> bad : {std::vector<std::string>{"-d", "foo", "x.bas"},
                                         {"-s", "/nonexistent.inf", "x.bas"},
                                         {"-s", big.string(), "x.bas"},
                                         {"-l", "abc", "x.bas"},
                                         {"-l", "99", "x.bas"},
                                         {"-b", "96OO", "x.bas"},
                                         {"-b", "1200", "x.bas"},
                                         {"--as", "zip", "x.bas"}}) {
        TerminalRun run(bad);
        EXPECT_EQ(run.Finish(), 2) << bad[0] << " " << bad[1];
    }
    // With --json even an option that cannot be parsed ends in the outcome event.
    TerminalRun json({"--json", "--no-such-option", "x.bas"});
    EXPECT_EQ(json.Finish(), 2);
    EXPECT_NE(json.Seen.find("{\"event\":\"outcome\",\"outcome\":\"bad usage\",\"exit\":2}"),
              std::string::npos)
        << json.Seen;
    // A data file sent as text at the user's word, with the PIN from the environment.
    BoardPeer board = StartBoard({"--pin", "4321"});
    std::filesystem::path dir = FreshFolder("qz-as");
    std::ofstream(dir / "p.dat") << "print 2\n";
    TerminalRun run({"--port", board.Tty, "--as", "text", (dir / "p.dat").string()}, dir.string(),
                    "4321");
    EXPECT_EQ(run.Finish(), 0) << run.Seen;
    EXPECT_EQ(StoredFile(board, "program.bas"), "print 2\n");
    StopBoard(board);
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The encoded file never lands on the program's own source, through a symbolic link, or over
// an existing file without --force.
TEST(QzUpload, EncodedOutputSparesTheSourceLinksAndUnforcedExistingFiles) {
    std::filesystem::path dir = FreshFolder("qz-encode");
    std::ofstream(dir / "empty.inf").close();
    std::ofstream(dir / "src.bas", std::ios::binary) << "'encode\r\nPrint 1\r\n";
    std::ofstream(dir / "victim") << "precious";
    std::filesystem::create_symlink(dir / "victim", dir / "link.bae");
    auto encode = [&](const std::string& output, bool force) {
        std::vector<std::string> args = {"-s", "empty.inf", "-o", output};
        if (force) args.push_back("--force");
        args.push_back("src.bas");
        TerminalRun run(args, "", "", dir.string());
        return run.Finish();
    };
    EXPECT_EQ(encode("src.bas", true), 1);
    EXPECT_EQ(encode("link.bae", true), 1);
    EXPECT_EQ(Slurp(dir / "src.bas"), "'encode\r\nPrint 1\r\n");
    EXPECT_EQ(Slurp(dir / "victim"), "precious");
    EXPECT_EQ(encode("out", false), 0);
    EXPECT_EQ(encode("out", false), 1);
    EXPECT_EQ(encode("out", true), 0);
}

TEST(QzUpload, ProgressFitsTheTerminalAndJsonTextIsEscaped) {
    EXPECT_EQ(ProgressLine(120, 400, 4000, 80),
              "[#########.....................] 120/400 30% 30.0/s 0:09 left");
    for (int columns : {80, 50, 40, 30, 20, 12, 5, 1})
        EXPECT_LT(ProgressLine(1234, 99999, 61000, columns).size(),
                  static_cast<size_t>(std::max(columns, 1)))
            << columns;
    EXPECT_EQ(ProgressLine(3, 10, 100, 20), "3/10");
    EXPECT_EQ(JsonString("a\"b\\c\r\n\x1b\xc3\xa9"), "\"a\\\"b\\\\c\\r\\n\\u001b\xc3\xa9\"");
}

// Ctrl-C typed at the terminal outside the streaming ends the job at once, and the terminal
// is left as it was found: while a silent board holds up NEW (a wait of ten seconds), and
// during XMODEM, where five CAN bytes tell the board's receiver to give up.
TEST(QzUpload, CtrlCOutsideTheStreamingStopsTheJobAtOnce) {
    std::filesystem::path dir = FreshFolder("qz-ctrl-c");
    std::ofstream(dir / "p.bas") << "Print 1\r\n";
    std::ofstream(dir / "pic.bmp", std::ios::binary) << std::string(20000, 'p');
    struct Case {
        std::vector<std::string> Board;
        std::string File, Shown, LastSent;
    } cases[] = {
        {{"--silent"}, "p.bas", "Upload cancelled", "\x03NEW\r\n\x03"},
        {{}, "pic.bmp", "Transfer cancelled", std::string(5, '\x18')},
    };
    for (const Case& c : cases) {
        BoardPeer board = StartBoard(c.Board);
        TerminalRun run({"--port", board.Tty, "--baud", "115200", "--device", "micromite",
                         (dir / c.File).string()});
        termios before{};
        tcgetattr(run.Slave, &before);
        ASSERT_TRUE(run.WaitFor("Connected to micromite")) << run.Seen;
        usleep(1000000);
        if (c.File == "pic.bmp") {
            ASSERT_TRUE(run.WaitFor("/157 ")) << run.Seen;
        }
        run.Type("\x03");
        EXPECT_EQ(run.Finish(), 5) << run.Seen;
        EXPECT_NE(run.Seen.find(c.Shown), std::string::npos) << run.Seen;
        // No progress line is left for the shell's prompt to follow.
        std::string last = run.Seen.substr(run.Seen.rfind('\n') + 1);
        EXPECT_TRUE(last.find('/') == std::string::npos || last.ends_with("\r\033[K")) << last;
        termios after{};
        tcgetattr(run.Slave, &after);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        // The board records what it read a moment after the program ended.
        std::string t;
        for (int i = 0; i < 50; ++i, usleep(20000))
            if ((t = StoredFile(board, "transcript.log")).size() >= c.LastSent.size() &&
                t.substr(t.size() - c.LastSent.size()) == c.LastSent)
                break;
        EXPECT_EQ(t.substr(t.size() - std::min(t.size(), c.LastSent.size())), c.LastSent);
        if (c.File == "p.bas") {
            EXPECT_EQ(t, c.LastSent);  // no start command, no line
        }
        StopBoard(board);
    }
}

// Closing the terminal or `kill` stops the job as Ctrl-C does: Ctrl-C to the board, the
// terminal's modes restored (echo is off at the PIN prompt), exit code 5.
TEST(QzUpload, SigtermAndSighupStopTheJobAsCtrlCDoes) {
    std::filesystem::path dir = FreshFolder("qz-signals");
    std::string program;
    for (int i = 1; i <= 200; ++i)
        program += "Print " + std::to_string(i) + "\r\n";
    std::ofstream(dir / "p.bas") << program;
    struct Case {
        std::vector<std::string> Board;
        std::string Shown;
        int Signal;
    } cases[] = {{{"--pin", "1234"}, "Enter security PIN", SIGTERM},
                 {{"--echo-delay", "20"}, "Connected to micromite", SIGHUP}};
    for (const Case& c : cases) {
        BoardPeer board = StartBoard(c.Board);
        TerminalRun run({"--port", board.Tty, "--device", "micromite", (dir / "p.bas").string()});
        termios before{};
        tcgetattr(run.Slave, &before);
        ASSERT_TRUE(run.WaitFor(c.Shown)) << run.Seen;
        usleep(500000);
        kill(run.Pid, c.Signal);
        EXPECT_EQ(run.Finish(), 5) << run.Seen;
        termios after{};
        tcgetattr(run.Slave, &after);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        std::string t;
        for (int i = 0; i < 50 && (t = StoredFile(board, "transcript.log")).back() != '\x03'; ++i)
            usleep(20000);
        EXPECT_EQ(t.back(), '\x03') << c.Shown;
        StopBoard(board);
    }
}

// What is named is what is used: a name is never cut at a line end, a port name that is a
// file here is that file, and no argument at all gets a short usage line.
TEST(QzUpload, NamesAreTakenWholeAndAsTyped) {
    std::filesystem::path dir = FreshFolder("qz-names");
    BoardPeer board = StartBoard({"--link", (dir / "port").string()});
    std::ofstream(dir / "p.bas") << "print 1\n";
    std::ofstream(dir / "p.bas\r") << "print 2\n";
    TerminalRun cut({"--port", board.Tty, "p.bas\r"}, dir.string(), "", dir.string());
    EXPECT_EQ(cut.Finish(), 2);
    EXPECT_NE(cut.Seen.find("p.bas\\x0D holds a line end"), std::string::npos) << cut.Seen;
    EXPECT_EQ(StoredFile(board, "transcript.log"), "");

    TerminalRun here({"-p", "port", "-d", "micromite", "p.bas"}, dir.string(), "", dir.string());
    EXPECT_EQ(here.Finish(), 0) << here.Seen;
    EXPECT_EQ(StoredFile(board, "program.bas"), "print 1\n");

    TerminalRun bare({});
    EXPECT_EQ(bare.Finish(), 2);
    EXPECT_NE(bare.Seen.find("Usage: qz-upload"), std::string::npos);
    EXPECT_LT(std::count(bare.Seen.begin(), bare.Seen.end(), '\n'), 4) << bare.Seen;
    StopBoard(board);
}

// The PIN is checked before anything is sent; a capture file is never reached through a
// link, and one that cannot take the board's output fails the run.
TEST(QzUpload, PinsAndCaptureFilesAreChecked) {
    std::filesystem::path dir = FreshFolder("qz-pin");
    BoardPeer board = StartBoard({"--pin", "4321"});
    std::ofstream(dir / "p.bas") << "print 1\n";
    std::ofstream(dir / "empty.pin");
    std::ofstream(dir / "words.pin") << "12ab\n";
    std::ofstream(dir / "open.pin") << "4321\n";
    std::filesystem::permissions(dir / "open.pin", std::filesystem::perms(0644));
    std::ofstream(dir / "huge.pin") << std::string(1 << 20, '1');
    for (std::vector<std::string> bad : {std::vector<std::string>{"--pin", ""},
                                         {"--pin-file", (dir / "empty.pin").string()},
                                         {"--pin-file", (dir / "words.pin").string()},
                                         {"--pin-file", (dir / "huge.pin").string()}}) {
        bad.insert(bad.end(), {"--port", board.Tty, (dir / "p.bas").string()});
        TerminalRun run(bad);
        EXPECT_EQ(run.Finish(), 2) << bad[1];
        EXPECT_NE(run.Seen.find("PIN"), std::string::npos) << run.Seen;
    }
    EXPECT_EQ(StoredFile(board, "transcript.log"), "");
    TerminalRun open({"--port", board.Tty, "-d", "micromite", "--pin-file",
                      (dir / "open.pin").string(), (dir / "p.bas").string()});
    EXPECT_EQ(open.Finish(), 0) << open.Seen;
    EXPECT_NE(open.Seen.find("other users can read the PIN file"), std::string::npos);

    std::ofstream(dir / "victim") << "kept";
    std::filesystem::create_symlink(dir / "victim", dir / "link.txt");
    TerminalRun link({"--port", board.Tty, "--console", "--capture", (dir / "link.txt").string()});
    EXPECT_EQ(link.Finish(), 17) << link.Seen;
    TerminalRun full({"--port", board.Tty, "--pin", "4321", "--console", "--capture", "/dev/full"});
    ASSERT_TRUE(full.WaitFor("Ctrl-] leaves")) << full.Seen;
    full.Type("\r");
    ASSERT_TRUE(full.WaitFor("cannot be written")) << full.Seen;
    full.Type("\x1d");
    EXPECT_EQ(full.Finish(), 17) << full.Seen;
    std::ifstream victim(dir / "victim");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "kept");
    StopBoard(board);
}

// Strings from USB devices and from the settings file reach the terminal shown, not obeyed.
TEST(QzUpload, DeviceAndEntryNamesAreShownInertOnATerminal) {
    FakeSysfs sys;
    sys.AddUsb("ttyACM0", "1-1", false, "2e8a", "000a", "Evil\x1b]0;x\x07", "Board", "S1");
    sys.InstallDevRoot();
    TerminalRun ports({"--list-ports"});
    EXPECT_EQ(ports.Finish(), 0);
    EXPECT_NE(ports.Seen.find("Evil\\x1B]0;x\\x07"), std::string::npos) << ports.Seen;
    std::filesystem::path dir = FreshFolder("qz-entries");
    std::ofstream(dir / "e.inf") << "[myDeviceList]\nDevice1=bad\x1b[2Jname|micromite\n";
    TerminalRun entries({"-s", (dir / "e.inf").string(), "-e", "none", "x.bas"});
    EXPECT_EQ(entries.Finish(), 2);
    EXPECT_NE(entries.Seen.find("bad\\x1B[2Jname"), std::string::npos) << entries.Seen;
}

}  // namespace

// Two boards at once, one unplugged part-way: it ends with its own outcome while the other
// stores the program; the exit status is the worse one and the summary has a row for each.
TEST(QzUpload, SeveralBoardsAtOnceEachEndWithTheirOwnOutcome) {
    std::filesystem::path dir = FreshFolder("qz-many");
    BoardPeer kept = StartBoard();
    BoardPeer gone = StartBoard({"--vanish-after-lines", "5"});
    std::string program;
    for (int i = 1; i <= 30; ++i)
        program += "print " + std::to_string(i) + "\n";
    std::ofstream(dir / "p.bas") << program;
    TerminalRun run({"--port", kept.Tty, "--port", gone.Tty, (dir / "p.bas").string()},
                    dir.string());
    EXPECT_EQ(run.Finish(), 9) << run.Seen;
    EXPECT_EQ(StoredFile(kept, "program.bas"), program);
    EXPECT_NE(StoredFile(gone, "program.bas"), program);
    auto row = [&](const std::string& port) {
        size_t at = run.Seen.find("\n" + port + " ", run.Seen.find("Port "));
        return at == std::string::npos ? std::string()
                                       : run.Seen.substr(at + 1, run.Seen.find('\n', at + 1) - at);
    };
    EXPECT_NE(row(kept.Tty).find(" completed "), std::string::npos) << run.Seen;
    EXPECT_NE(row(gone.Tty).find(" port vanished "), std::string::npos) << run.Seen;
    // A program that asks to be encoded is written to one file, not once for each board.
    std::ofstream(dir / "e.bas") << "'encode\nprint 1\n";
    TerminalRun encode({"--port", kept.Tty, "--port", gone.Tty, (dir / "e.bas").string()},
                       dir.string());
    EXPECT_EQ(encode.Finish(), 2) << encode.Seen;
    EXPECT_FALSE(std::filesystem::exists(dir / "e.bae"));
    StopBoard(kept);
    StopBoard(gone);
}
