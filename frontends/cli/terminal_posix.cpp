#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"

std::optional<Text> AskOnTerminal(const std::string& prompt, const std::string& defaultText,
                                  bool secret) {
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    (void)!write(fd, prompt.data(), prompt.size());
    termios saved{};
    bool restore = false;
    if (secret && tcgetattr(fd, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        restore = tcsetattr(fd, TCSANOW, &quiet) == 0;
    }
    std::string answer;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n' && c != '\r')
        answer.push_back(c);
    if (restore) {
        tcsetattr(fd, TCSANOW, &saved);
        (void)!write(fd, "\n", 1);
    }
    close(fd);
    if (answer.empty()) answer = defaultText;
    return TextFromUtf8(answer);
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

bool StreamIsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

namespace {
void OnInterrupt(int) {
    RequestCancel();
}

// Closing the terminal, `kill` or a time limit: the board must not be left in program
// entry, so the job stops as on a second Ctrl-C instead of the program dying mid-line.
void OnTerminate(int) {
    RequestStopNow();
}

void Catch(int signal, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(signal, &sa, nullptr);  // no SA_RESTART: a waiting read returns at once
}
}  // namespace

void InstallCancelOnInterrupt() {
    Catch(SIGINT, OnInterrupt);
    Catch(SIGTERM, OnTerminate);
    Catch(SIGHUP, OnTerminate);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8Console() {}
