// The event loop and the event pump. The loop sleeps until an event comes (or, while the
// console holds or awaits the port, at most 5 ms, so that it reads what the board sent) and
// hands each to the window procedure, which calls the commands. The pump, which long work
// runs between exchanges with the board, lets the window repaint and the device notices
// through but drops every user input except what goes to the "Cancel" button.
#include <windows.h>

#include <algorithm>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
#include "frontends/win32/main_window_win32.h"
#include "ui/captions.h"

namespace {

// How long the loop waits between looks at the port while the console is on.
constexpr DWORD kConsolePollMs = 5;

bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_COMMAND ||
           message == WM_SYSCOMMAND || message == WM_DROPFILES || message == WM_CONTEXTMENU;
}

void AppendItem(HMENU menu, int id, TextView caption) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), Wide(caption).c_str());
}

}  // namespace

bool Win32Frontend::DrainWindowEvents() {
    HWND cancel = ControlHandle(ControlId::CancelButton);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CLOSE && msg.hwnd == mainWindow_) continue;
        if (IsUserInput(msg.message) && msg.hwnd != cancel) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    bool pressed = cancelPressed_;
    cancelPressed_ = false;
    return pressed;
}

void Win32Frontend::OpenLogPopupMenu() {
    HMENU menu = CreatePopupMenu();
    AppendItem(menu, kIdMenuPaste, kMenuPasteCode);
    AppendItem(menu, kIdMenuSelectAll, kMenuSelectAll);
    AppendItem(menu, kIdMenuCopy, kMenuCopy);
    AppendItem(menu, kIdMenuSaveAs, kMenuSaveAs);
    POINT at{};
    GetCursorPos(&at);
    int chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, mainWindow_, nullptr);
    DestroyMenu(menu);
    Session& s = *session_;
    switch (chosen) {
        case kIdMenuPaste:
            RunJobCommand([&s] { OnPasteCode(s); });
            break;
        case kIdMenuSelectAll:
            SelectAllLogPane();
            break;
        case kIdMenuCopy:
            CopyLogPane();
            break;
        case kIdMenuSaveAs:
            OnSaveReport(s);
            break;
        default:
            break;
    }
}

bool Win32Frontend::HandleNextWindowEvent(DWORD maxWaitMs) {
    DWORD wait = console_ && console_->On() ? std::min(maxWaitMs, kConsolePollMs) : maxWaitMs;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) closeRequested_ = true;
        bool popup = msg.message == WM_RBUTTONUP ||
                     (msg.message == WM_RBUTTONDOWN && msg.hwnd == mainWindow_);
        if (popup) {
            OpenLogPopupMenu();
            continue;
        }
        // A close request (the caption's button, Alt+F4, a posted WM_CLOSE) ends the loop
        // when no command runs; a command runs only inside DispatchMessage, so here none does.
        if (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE)
            closeRequested_ = true;
        if (msg.message == WM_CLOSE && msg.hwnd == mainWindow_) closeRequested_ = true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        cancelPressed_ = false;  // a press that came after the job ended counts for nothing
    }
    // Between events the console shows what the board sent and looks after the port.
    if (console_) console_->Poll();
    return !closeRequested_;
}

void Win32Frontend::RunEventLoop() {
    while (HandleNextWindowEvent()) {
    }
}
