#include <windows.h>

#include <shellapi.h>

#include <io.h>

#include <cstdio>
#include <cwchar>

#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"

std::optional<Text> AskOnTerminal(const std::string& prompt, const std::string& defaultText,
                                  bool secret) {
    // CONIN$/CONOUT$ are the console itself, also when standard input and output are
    // redirected, as /dev/tty is on POSIX.
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return std::nullopt;
    HANDLE out =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    if (out != INVALID_HANDLE_VALUE)
        WriteConsoleA(out, prompt.data(), static_cast<DWORD>(prompt.size()), &written, nullptr);
    DWORD saved = 0;
    bool restore = false;
    if (secret && GetConsoleMode(in, &saved))
        restore = SetConsoleMode(in, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    std::wstring answer;
    wchar_t c;
    DWORD got = 0;
    while (ReadConsoleW(in, &c, 1, &got, nullptr) && got == 1 && c != L'\n' && c != L'\r')
        answer.push_back(c);
    if (restore) {
        SetConsoleMode(in, saved);
        if (out != INVALID_HANDLE_VALUE) WriteConsoleA(out, "\r\n", 2, &written, nullptr);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    CloseHandle(in);
    if (answer.empty()) return TextFromUtf8(defaultText);
    return Text(answer.begin(), answer.end());
}

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (!GetConsoleScreenBufferInfo(handle, &info)) return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool StreamIsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

namespace {
// Runs on a thread of its own that the console starts; RequestCancel only sets a flag that
// the next event pump reads.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        RequestCancel();
        return TRUE;
    }
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    // The console is closing: the job stops as on a second Ctrl-C. The process ends when
    // this handler returns, so it gives the job a moment to send Ctrl-C to the board.
    RequestStopNow();
    Sleep(2000);
    return TRUE;
}
}  // namespace

void InstallCancelOnInterrupt() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8FromText(Text(wide[i], wide[i] + wcslen(wide[i]))));
    LocalFree(wide);
    return arguments;
}

void UseUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}
