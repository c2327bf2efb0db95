// The modal dialogs of the window layer: the PIN input, the save-file dialog, the message
// box, and the clipboard.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "frontends/win32/main_window_win32.h"
#include "ui/captions.h"

namespace {

struct InputDialog {
    HWND Edit = nullptr;
    bool Done = false;
    Text Answer;
};

LRESULT CALLBACK InputProc(HWND h, UINT message, WPARAM w, LPARAM l) {
    auto* dialog = reinterpret_cast<InputDialog*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (message == WM_COMMAND && LOWORD(w) == IDOK && dialog) {
        int length = GetWindowTextLengthW(dialog->Edit);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        int got = GetWindowTextW(dialog->Edit, text.data(), length + 1);
        dialog->Answer.assign(text.begin(), text.begin() + got);
        dialog->Done = true;
        return 0;
    }
    if (message == WM_CLOSE && dialog) {
        dialog->Done = true;
        return 0;
    }
    return DefWindowProcW(h, message, w, l);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
           int h, int id) {
    HWND c = CreateWindowExW(wcscmp(cls, WC_EDITW) == 0 ? WS_EX_CLIENTEDGE : 0, cls, text,
                             WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return c;
}

}  // namespace

Text Win32Frontend::AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) {
    // A second registration fails harmlessly: the class is there from the first.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = InputProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QzInputDialog";
    RegisterClassExW(&wc);
    HWND owner = mainWindow_;
    RECT place{0, 0, 300, 110};
    AdjustWindowRectEx(&place, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    RECT ownerRect{200, 200, 200, 200};
    if (owner) GetWindowRect(owner, &ownerRect);
    HWND dialog =
        CreateWindowExW(WS_EX_DLGMODALFRAME, L"QzInputDialog", Wide(title).c_str(),
                        WS_POPUP | WS_CAPTION | WS_SYSMENU, ownerRect.left + 40, ownerRect.top + 40,
                        place.right - place.left, place.bottom - place.top, owner, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    if (!dialog) return Text();
    InputDialog state;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    Child(dialog, WC_STATICW, Wide(prompt).c_str(), 0, 10, 10, 280, 20, -1);
    state.Edit =
        Child(dialog, WC_EDITW, Wide(defaultText).c_str(),
              WS_TABSTOP | ES_AUTOHSCROLL | (secret ? ES_PASSWORD : 0), 10, 40, 280, 22, 100);
    Child(dialog, WC_BUTTONW, Wide(kOkCaption).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, 110, 75, 80,
          24, IDOK);
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(state.Edit);
    MSG msg;
    while (!state.Done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(dialog);
    if (owner) SetForegroundWindow(owner);
    return state.Answer;
}

Text Win32Frontend::AskSaveFileName(TextView title, TextView filter, TextView folder) {
    std::wstring filters = Wide(filter);
    for (wchar_t& c : filters)
        if (c == L'|') c = L'\0';
    filters.push_back(L'\0');
    filters.push_back(L'\0');
    std::wstring heading = Wide(title), start = Wide(folder);
    wchar_t name[32768] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = mainWindow_;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = 32768;
    ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
    ofn.lpstrTitle = heading.c_str();
    // No overwrite question and no extension added; the folder must exist; the current
    // folder stays as it was.
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return Text();
    std::wstring chosen(name);
    return Text(chosen.begin(), chosen.end());
}

void Win32Frontend::ShowMessageBox(TextView caption, TextView text) {
    MessageBoxW(mainWindow_, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

Text Win32Frontend::ClipboardText() {
    if (!OpenClipboard(mainWindow_)) return Text();
    Text text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            std::wstring copy(chars);
            text.assign(copy.begin(), copy.end());
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
