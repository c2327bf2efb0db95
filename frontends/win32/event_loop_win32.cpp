// The event loop and the event pump. The loop waits at most 5 ms for an event and hands
// each to the window procedure, which calls the commands. The pump, which long work runs
// between exchanges with the board, lets the window repaint and the device notices through
// but drops every user input except what goes to the "Cancel" button.
#include <windows.h>

#include "app/commands.h"
#include "app/console.h"
#include "frontends/win32/main_window_win32.h"
#include "ui/window.h"

namespace {

bool cancelPressed = false;
bool closeRequested = false;

bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_COMMAND ||
           message == WM_SYSCOMMAND || message == WM_DROPFILES || message == WM_CONTEXTMENU;
}

bool OpensPopup(const MSG& msg) {
    return msg.message == WM_RBUTTONUP ||
           (msg.message == WM_RBUTTONDOWN && msg.hwnd == MainWindowHandle());
}

}  // namespace

void NoteCancelPressed() {
    cancelPressed = true;
}

bool DrainWindowEvents() {
    HWND cancel = ControlHandle(ControlId::CancelButton);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CLOSE && msg.hwnd == MainWindowHandle()) continue;
        if (IsUserInput(msg.message) && msg.hwnd != cancel) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    bool pressed = cancelPressed;
    cancelPressed = false;
    return pressed;
}

void OpenLogPopupMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kIdMenuPaste, L"Paste code");
    AppendMenuW(menu, MF_STRING, kIdMenuSelectAll, L"Select All");
    AppendMenuW(menu, MF_STRING, kIdMenuCopy, L"Copy");
    AppendMenuW(menu, MF_STRING, kIdMenuSaveAs, L"Save As...");
    POINT at{};
    GetCursorPos(&at);
    int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                MainWindowHandle(), nullptr);
    DestroyMenu(menu);
    switch (chosen) {
        case kIdMenuPaste:
            RunJobCommand(OnPasteCode);
            break;
        case kIdMenuSelectAll:
            SelectAllLogPane();
            break;
        case kIdMenuCopy:
            CopyLogPane();
            break;
        case kIdMenuSaveAs:
            OnSaveReport();
            break;
        default:
            break;
    }
}

bool HandleNextWindowEvent() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) closeRequested = true;
        if (OpensPopup(msg)) {
            OpenLogPopupMenu();
            continue;
        }
        // A close request (the caption's button, Alt+F4, a posted WM_CLOSE) ends the loop
        // when no command runs; a command runs only inside DispatchMessage, so here none does.
        if (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE)
            closeRequested = true;
        if (msg.message == WM_CLOSE && msg.hwnd == MainWindowHandle()) closeRequested = true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        cancelPressed = false;  // a press that came after the job ended counts for nothing
    }
    // Between events the console shows what the board sent and looks after the port.
    if (WindowConsole* console = MainConsole()) console->Poll();
    return !closeRequested;
}

void RunEventLoop() {
    while (HandleNextWindowEvent()) {
    }
}
