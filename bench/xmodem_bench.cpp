// Link benchmark: how close an XMODEM transfer comes to its floor, with our sender and with
// lrzsz's sx on the same simulated line to lrzsz's rx, and what processor time our sender
// and the send-and-wait loop use.
//
// The floor of a transfer is what the protocol cannot avoid: the 200 ms reply wait of each
// block plus the line time of the packets at the baud rate (10 bits a byte). The line is a
// relay between pseudo-terminals and sockets that holds each byte for its line time.
//
//   qz_xmodem_bench FILE [BAUD]
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "link/clock.h"
#include "link/link.h"
#include "link/sendwait.h"
#include "link/serial.h"
#include "link/xmodem.h"
#include "settings/settings.h"
#include "tests/link/pty_line.h"

namespace fs = std::filesystem;

namespace {

// The stored settings' line delay as a first start has it.
const int kLineDelay = Settings().LineDelay;

struct Usage {
    double WallS, CpuS;
    double Percent() const { return WallS > 0 ? 100 * CpuS / WallS : 0; }
};

double ThreadCpuS() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec +
           (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

template <typename F>
Usage Measure(Clock& clock, F&& work) {
    double cpu = ThreadCpuS();
    int64_t start = clock.ElapsedMs();
    work();
    return {(clock.ElapsedMs() - start) / 1000.0, ThreadCpuS() - cpu};
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool StoredMatches(const fs::path& stored, const std::string& sent) {
    std::string got = Slurp(stored);
    return got.size() >= sent.size() && got.compare(0, sent.size(), sent) == 0;
}

Usage RunOurSender(const fs::path& file, const fs::path& board, long baud, bool* ok) {
    PtyEnd port = OpenPtyEnd();
    int rxFd = -1;
    pid_t rx = SpawnOnSocket({"rx", "-c", "-q", "-y", "ours.bin"}, board.string(), &rxFd);
    Usage use{};
    {
        Relay line(port.master, rxFd, {baud, true});
        SystemClock clock;
        std::unique_ptr<SerialPort> serial = MakeSystemSerialPort();
        Link link(*serial, clock);
        if (!serial->Open(TextFromUtf8(port.path), baud)) std::exit(2);
        XmodemOutcome outcome = XmodemOutcome::Failed;
        use = Measure(clock, [&] {
            outcome = SendFileByXmodem(link, Text(file.u16string()), u"ours.bin", kLineDelay);
        });
        *ok = outcome == XmodemOutcome::Completed;
        serial->Close();
    }
    *ok = WaitChild(rx, 10000) == 0 && *ok;
    close(rxFd);
    ClosePtyEnd(port);
    return use;
}

double RunSx(const fs::path& file, const fs::path& board, long baud, bool* ok) {
    int rxFd = -1, sxFd = -1;
    pid_t rx = SpawnOnSocket({"rx", "-c", "-q", "-y", "theirs.bin"}, board.string(), &rxFd);
    SystemClock clock;
    int64_t start = clock.ElapsedMs();
    double took = 0;
    pid_t sx = SpawnOnSocket({"sx", "-q", file.string()}, board.string(), &sxFd);
    {
        Relay line(sxFd, rxFd, {baud, false});
        *ok = WaitChild(sx, 3600 * 1000) == 0;
        took = (clock.ElapsedMs() - start) / 1000.0;
    }
    *ok = WaitChild(rx, 10000) == 0 && *ok;
    close(rxFd);
    close(sxFd);
    return took;
}

// Program lines echoed at once by the far end, then one prompt wait that nobody answers.
void RunSendAndWait(long baud) {
    PtyEnd port = OpenPtyEnd();
    SystemClock clock;
    std::unique_ptr<SerialPort> serial = MakeSystemSerialPort();
    Link link(*serial, clock);
    if (!serial->Open(TextFromUtf8(port.path), baud)) std::exit(2);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        while (!stop)
            WriteAll(port.master, ReadFor(port.master, 5));
    });
    const int lines = 300;
    Usage loop = Measure(clock, [&] {
        for (int i = 0; i < lines; ++i)
            SendAndWait(link, u"10 PRINT \"HELLO WORLD\"; I\r\n", -1, kLineDelay);
    });
    stop = true;
    echo.join();
    Usage silent = Measure(clock, [&] { SendAndWait(link, u"", kWaitForPrompt, kLineDelay); });
    serial->Close();
    ClosePtyEnd(port);
    std::printf("send-and-wait: %d echoed lines in %.2f s, cpu %.3f s = %.2f%% of a core\n", lines,
                loop.WallS, loop.CpuS, loop.Percent());
    std::printf("send-and-wait: unanswered prompt wait %.2f s, cpu %.3f s = %.2f%% of a core\n",
                silent.WallS, silent.CpuS, silent.Percent());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [BAUD]\n", argv[0]);
        return 2;
    }
    fs::path file = fs::absolute(argv[1]);
    long baud = argc > 2 ? std::atol(argv[2]) : 115200;
    std::string bytes = Slurp(file);

    fs::path board = fs::temp_directory_path() / ("qz_bench_" + std::to_string(getpid()));
    fs::create_directories(board);
    long blocks = static_cast<long>((bytes.size() + 127) / 128);
    double floorS = blocks * 0.2 + blocks * 133.0 * 10 / baud;
    std::printf("file: %zu bytes, %ld blocks, %ld baud; floor %.2f s\n", bytes.size(), blocks, baud,
                floorS);

    bool oursOk = false, sxOk = false;
    Usage ours = RunOurSender(file, board, baud, &oursOk);
    oursOk = oursOk && StoredMatches(board / "ours.bin", bytes);
    std::printf("qz sender: %.2f s, ratio %.3f, cpu %.3f s = %.2f%% of a core%s\n", ours.WallS,
                ours.WallS / floorS, ours.CpuS, ours.Percent(), oursOk ? "" : "  (FAILED)");
    double sx = RunSx(file, board, baud, &sxOk);
    sxOk = sxOk && StoredMatches(board / "theirs.bin", bytes);
    std::printf("lrzsz sx:  %.2f s, ratio %.3f%s\n", sx, sx / floorS, sxOk ? "" : "  (FAILED)");
    RunSendAndWait(baud);
    fs::remove_all(board);
    return oursOk && sxOk ? 0 : 1;
}
