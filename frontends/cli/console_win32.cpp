#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

// Redirected input (a pipe or a file) cannot be waited on everywhere (PeekNamedPipe fails
// on Wine's pipes), so a thread of its own reads it and hands the bytes over. The console
// ends it when it closes (EndInputReader): its blocking read is cancelled and the thread
// joined, so that no thread outlives the console.
CRITICAL_SECTION pendingLock;
bool pendingLockReady = false;
std::string pending;
bool inputEnded = false;
HANDLE readerThread = nullptr;
volatile LONG readerStopping = 0;

DWORD WINAPI ReadInputThread(LPVOID) {
    char chunk[256];
    while (!InterlockedCompareExchange(&readerStopping, 0, 0)) {
        DWORD got = 0;
        bool ok = ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0;
        // A read cancelled by EndInputReader is no end of input: the next console reads on.
        if (!ok && GetLastError() == ERROR_OPERATION_ABORTED) return 0;
        EnterCriticalSection(&pendingLock);
        if (ok)
            pending.append(chunk, got);
        else
            inputEnded = true;
        LeaveCriticalSection(&pendingLock);
        if (!ok) return 0;
    }
    return 0;
}

void EndInputReader() {
    if (!readerThread) return;
    InterlockedExchange(&readerStopping, 1);
    // The cancel can come just before the thread enters its read: it is repeated until the
    // thread has ended.
    while (WaitForSingleObject(readerThread, 50) == WAIT_TIMEOUT)
        CancelSynchronousIo(readerThread);
    CloseHandle(readerThread);
    readerThread = nullptr;
    InterlockedExchange(&readerStopping, 0);
}

int ReadRedirected(uint8_t* buffer, int capacity, int waitMs) {
    if (!readerThread) {
        if (!pendingLockReady) InitializeCriticalSection(&pendingLock);
        pendingLockReady = true;  // the lock outlives the reader threads
        readerThread = CreateThread(nullptr, 0, ReadInputThread, nullptr, 0, nullptr);
        if (!readerThread) return -1;
    }
    EnterCriticalSection(&pendingLock);
    int n = static_cast<int>(pending.size() < static_cast<size_t>(capacity)
                                 ? pending.size()
                                 : static_cast<size_t>(capacity));
    memcpy(buffer, pending.data(), static_cast<size_t>(n));
    pending.erase(0, static_cast<size_t>(n));
    bool ended = inputEnded && pending.empty();
    LeaveCriticalSection(&pendingLock);
    if (n == 0 && ended) return -1;
    if (n == 0) Sleep(static_cast<DWORD>(waitMs));
    return n;
}

}  // namespace

bool EnterRawKeyboard() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    // The board's own CR LF goes out as it is, not as CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    if (rawNow) return true;
    // A pipe or file is read as it comes (Wine answers GetConsoleMode for those too).
    if (GetFileType(input) != FILE_TYPE_CHAR || !GetConsoleMode(input, &savedMode)) return false;
    // No line input, no echo, no Ctrl-C processing: every key reaches the board.
    DWORD raw = savedMode &
                ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    rawNow = SetConsoleMode(input, raw) != 0;
    return rawNow;
}

void LeaveRawKeyboard() {
    EndInputReader();
    if (!rawNow) return;
    SetConsoleMode(input, savedMode);
    rawNow = false;
}

int ReadKeyboard(uint8_t* buffer, int capacity, int waitMs) {
    if (input == INVALID_HANDLE_VALUE) input = GetStdHandle(STD_INPUT_HANDLE);
    if (!rawNow) return ReadRedirected(buffer, capacity, waitMs);
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

std::FILE* OpenCaptureFile(const std::string& utf8Path, std::string& why) {
    Text path = TextFromUtf8(utf8Path);
    std::wstring wide(path.begin(), path.end());
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        why = "it is a symbolic link, which is not followed";
        return nullptr;
    }
    std::FILE* file = _wfopen(wide.c_str(), L"ab");
    if (!file) why = std::strerror(errno);
    return file;
}
