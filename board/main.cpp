// qz-board: a simulated BASIC board at the far end of a pseudo-terminal.
//
// One loop: read what the client sent, feed each byte to the console when it is due, run
// the timers, write what is due back, and watch the client's baud rate for the 1200-baud
// reset. SIGTERM and SIGINT end the loop; the link, the drive's traces and the port go.
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "board/console.h"
#include "board/drive.h"
#include "board/noise.h"
#include "board/options.h"
#include "board/pty.h"
#include "board/store.h"
#include "board/wire.h"
#include "board/xmodem.h"
#include "board/xmodem_send.h"

namespace {

volatile sig_atomic_t StopRequested = 0;

void OnStopSignal(int) {
    StopRequested = 1;
}

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// Waits for input, output room or the next byte due on the wire, at most 10 ms so the baud
// rate is watched. The wait is timed to the microsecond (ppoll): a board's echo comes a
// fraction of a millisecond after the byte, and a wait rounded up to whole milliseconds
// would make the simulated wire slower than a real one.
void WaitForWork(Board& board) {
    int64_t now = NowUs();
    int64_t due = NextWireDue(board);
    bool outputDue = OutputDueUs(board) <= now;
    int64_t timeoutUs = 10000;
    if (due != INT64_MAX && !outputDue) timeoutUs = std::clamp<int64_t>(due - now, 0, 10000);
    timespec timeout{0, static_cast<long>(timeoutUs * 1000)};
    pollfd fds[2] = {{board.Port.Master, POLLIN, 0}, {board.Port.Watch, POLLIN, 0}};
    if (outputDue) fds[0].events |= POLLOUT;
    ppoll(fds, board.Port.Master >= 0 ? 2 : 0, &timeout, nullptr);
}

void ServeSerial(Board& board) {
    WaitForWork(board);
    uint8_t buffer[4096];
    int n = ReadFromClient(board, buffer, sizeof buffer);
    RecordReceived(board, buffer, n);
    // Read after the bytes: a client sets its speed before it writes, so they go at that speed.
    board.Port.Baud = ClientBaud(board);
    QueueReceived(board, buffer, n);
    // After the read: a client's open notice always comes before the bytes it wrote.
    WatchClients(board);
    uint8_t byte;
    while (board.Phase == BoardPhase::Serial && TakeDueByte(board, byte))
        if (PassNoise(board, byte)) ConsoleByte(board, byte);
    if (board.Phase != BoardPhase::Serial) return;
    XmodemTick(board);
    XmodemSendTick(board);
    WriteDueBytes(board);
    if (board.Port.Baud == 1200) EnterDriveMode(board);
}

}  // namespace

int main(int argc, char** argv) {
    Board board;
    std::string error;
    if (!ParseOptions(argc, argv, board.Options, error)) {
        std::fprintf(stderr, "qz-board: %s\n", error.c_str());
        return 2;
    }
    if (board.Options.Help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    InstallSignals();
    board.Noise.Rng.seed(board.Options.NoiseSeed);
    if (!OpenStore(board) || !OpenSerialPort(board)) return 1;
    StartConsole(board);
    while (!StopRequested) {
        if (board.Phase == BoardPhase::Serial)
            ServeSerial(board);
        else {
            DriveTick(board);
            usleep(20 * 1000);
        }
    }
    LogStatus("stopping");
    LeaveDriveMode(board);
    CloseSerialPort(board);
    CloseStore(board);
    return 0;
}
