#include <windows.h>

#include "frontends/cli/console.h"

namespace {

HANDLE input = INVALID_HANDLE_VALUE;
DWORD savedMode = 0;
bool rawNow = false;
volatile LONG stopRequested = 0;

// Closing the console window, logging off or shutting down asks the console to stop; in raw
// mode Ctrl-C is a key for the board and never arrives here.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT && rawNow) return TRUE;
    InterlockedExchange(&stopRequested, 1);
    return TRUE;
}

}  // namespace

bool EnterRawKeyboard() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    if (rawNow) return true;
    if (!GetConsoleMode(input, &savedMode)) return false;
    // No line input, no echo, no Ctrl-C processing: every key reaches the board.
    DWORD raw = savedMode &
                ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    rawNow = SetConsoleMode(input, raw) != 0;
    return rawNow;
}

void LeaveRawKeyboard() {
    if (!rawNow) return;
    SetConsoleMode(input, savedMode);
    rawNow = false;
}

int ReadKeyboard(uint8_t* buffer, int capacity, int waitMs) {
    if (input == INVALID_HANDLE_VALUE) input = GetStdHandle(STD_INPUT_HANDLE);
    if (!rawNow) {
        // Redirected input: a pipe or a file, read as it comes.
        DWORD available = 0;
        if (GetFileType(input) == FILE_TYPE_PIPE) {
            if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return -1;
            if (available == 0) {
                Sleep(static_cast<DWORD>(waitMs));
                return 0;
            }
        }
        DWORD got = 0;
        if (!ReadFile(input, buffer, static_cast<DWORD>(capacity), &got, nullptr) || got == 0)
            return -1;
        return static_cast<int>(got);
    }
    if (WaitForSingleObject(input, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0) return 0;
    INPUT_RECORD records[64];
    DWORD count = 0;
    if (!ReadConsoleInputW(input, records, 64, &count)) return -1;
    int n = 0;
    for (DWORD i = 0; i < count && n < capacity; ++i) {
        const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
        if (records[i].EventType != KEY_EVENT || !key.bKeyDown || key.uChar.UnicodeChar == 0)
            continue;
        std::string bytes = AnsiFromText(Text(1, static_cast<char16_t>(key.uChar.UnicodeChar)));
        for (WORD r = 0; r < key.wRepeatCount; ++r)
            for (char ch : bytes)
                if (n < capacity) buffer[n++] = static_cast<uint8_t>(ch);
    }
    return n;
}

bool ConsoleStopRequested() {
    return InterlockedCompareExchange(&stopRequested, 0, 0) != 0;
}
