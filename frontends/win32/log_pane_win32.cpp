// The log pane: a rich-edit control (Msftedit.dll) in "Courier New" 8 pt, without word
// wrap and with the largest text limit, so appending never fails for length. While it is
// empty it shows, in grey, how to start. While the window's console holds the port, the
// keys typed in the pane go to the board and none of them edits the pane.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <string>
#include <utility>

#include "app/console.h"
#include "app/session.h"
#include "frontends/win32/main_window_win32.h"
#include "ui/log.h"

namespace {

void SelectRange(HWND pane, LONG from, LONG to) {
    CHARRANGE range{from, to};
    SendMessageW(pane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// Replaces a range of the pane's text (-1, -1: the end of it) without showing the selection
// meanwhile; the user's caret and selection are lost.
void ReplaceRange(HWND pane, LONG from, LONG to, const std::wstring& text) {
    SendMessageW(pane, EM_HIDESELECTION, TRUE, 0);
    SelectRange(pane, from, to);
    SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(pane, EM_HIDESELECTION, FALSE, 0);
}

bool PaneEmpty(HWND h) {
    return GetWindowTextLengthW(h) == 0;
}

// Draws the hint over the empty pane, in the pane's font, wrapped to its formatting area.
void PaintHint(HWND h) {
    std::wstring hint(kEmptyLogHint.begin(), kEmptyLogHint.end());
    RECT area{};
    SendMessageW(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, hint.c_str(), static_cast<int>(hint.size()), &area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
}

// Messages that may change whether the pane holds any text.
bool MayEditText(UINT message) {
    switch (message) {
        case WM_CHAR:
        case WM_KEYDOWN:
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case WM_SETTEXT:
        case EM_UNDO:
        case EM_REDO:
        case EM_REPLACESEL:
        case EM_SETTEXTEX:
            return true;
        default:
            return false;
    }
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

// The keys without a character of their own that the board's editor knows.
bool ConsoleKeyOf(WPARAM key, ConsoleKey& out) {
    static const std::pair<WPARAM, ConsoleKey> keys[] = {
        {VK_UP, ConsoleKey::Up},         {VK_DOWN, ConsoleKey::Down},
        {VK_RIGHT, ConsoleKey::Right},   {VK_LEFT, ConsoleKey::Left},
        {VK_HOME, ConsoleKey::Home},     {VK_INSERT, ConsoleKey::Insert},
        {VK_DELETE, ConsoleKey::Delete}, {VK_END, ConsoleKey::End},
        {VK_PRIOR, ConsoleKey::PageUp},  {VK_NEXT, ConsoleKey::PageDown},
        {VK_F1, ConsoleKey::F1},         {VK_F2, ConsoleKey::F2},
        {VK_F3, ConsoleKey::F3},         {VK_F4, ConsoleKey::F4},
        {VK_F5, ConsoleKey::F5},         {VK_F6, ConsoleKey::F6},
        {VK_F7, ConsoleKey::F7},         {VK_F8, ConsoleKey::F8},
        {VK_F9, ConsoleKey::F9},         {VK_F10, ConsoleKey::F10},
        {VK_F11, ConsoleKey::F11},       {VK_F12, ConsoleKey::F12},
    };
    for (const auto& [vk, console] : keys) {
        if (vk != key) continue;
        out = console;
        return true;
    }
    return false;
}

// A message of the pane while the console takes the keys: true when it was the console's.
// The key-down messages are all taken, so the control neither moves its caret nor runs its
// own shortcuts (Ctrl-C must reach the board, not copy); the characters that the message
// loop makes of them (Enter CR, Backspace 0x08, Ctrl-C 0x03) go to the board as they are.
bool ConsoleMessage(Win32Frontend& front, WindowConsole& console, UINT message, WPARAM w) {
    bool shift = KeyDown(VK_SHIFT), control = KeyDown(VK_CONTROL);
    switch (message) {
        case WM_KEYDOWN: {
            if ((w == 'V' && control && !shift) || (w == VK_INSERT && shift && !control)) {
                console.Paste(front.ClipboardText());
                return true;
            }
            ConsoleKey key;
            if (ConsoleKeyOf(w, key)) console.TypeKey(key);
            return true;
        }
        case WM_KEYUP:
            return true;
        case WM_CHAR:
        case WM_IME_CHAR:
            // Ctrl-V pasted on its key-down; its character 0x16 goes nowhere.
            if (w != 0x16 || !control) console.TypeText(Text(1, static_cast<char16_t>(w)));
            return true;
        case WM_PASTE:
            console.Paste(front.ClipboardText());
            return true;
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
        case EM_REDO:
            return true;
        default:
            return false;
    }
}

}  // namespace

LRESULT CALLBACK LogPaneProc(HWND h, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
    auto& front = *reinterpret_cast<Win32Frontend*>(data);
    WindowConsole* console = front.Console();
    if (console && console->TakesKeys() && ConsoleMessage(front, *console, message, w)) return 0;
    if (message == WM_PAINT) {
        LRESULT result = DefSubclassProc(h, message, w, l);
        if (PaneEmpty(h)) PaintHint(h);
        return result;
    }
    if (!MayEditText(message)) return DefSubclassProc(h, message, w, l);
    // The control repaints only what it changed; the hint comes and goes as a whole.
    bool wasEmpty = PaneEmpty(h);
    LRESULT result = DefSubclassProc(h, message, w, l);
    if (PaneEmpty(h) != wasEmpty) InvalidateRect(h, nullptr, TRUE);
    return result;
}

HWND Win32Frontend::CreateLogPane(HWND parent, HMENU id) {
    LoadLibraryW(L"Msftedit.dll");
    HWND pane = CreateWindowExW(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                    ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                0, 0, 0, 0, parent, id, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(pane, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SendMessageW(pane, EM_SETTARGETDEVICE, 0, 1);  // no word wrap
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             FIXED_PITCH | FF_MODERN, L"Courier New");
    SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // A pixel height rounds 8 pt to whole pixels; the character format holds it exactly.
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE;
    format.yHeight = 8 * 20;  // twips
    wcscpy(format.szFaceName, L"Courier New");
    SendMessageW(pane, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageW(pane, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SetWindowSubclass(pane, LogPaneProc, 0, reinterpret_cast<DWORD_PTR>(this));
    return pane;
}

void Win32Frontend::RenderLogAppend(TextView piece) {
    ReplaceRange(logPane_, -1, -1, std::wstring(piece.begin(), piece.end()));
}

void Win32Frontend::RenderLogClear() {
    SetWindowTextW(logPane_, L"");
}

// A rich-edit control keeps a line break as one character (CR), so the ends of the range
// are found by the control's own counting.
void Win32Frontend::RenderLogEraseEnd(int count) {
    HWND pane = logPane_;
    GETTEXTLENGTHEX lengthOf{GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT end = SendMessageW(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthOf), 0);
    LRESULT lastLine = SendMessageW(pane, EM_EXLINEFROMCHAR, 0, end);
    LRESULT lineStart = SendMessageW(pane, EM_LINEINDEX, static_cast<WPARAM>(lastLine), 0);
    LRESULT from = end - count < lineStart ? lineStart : end - count;
    if (from >= end) return;
    ReplaceRange(pane, static_cast<LONG>(from), static_cast<LONG>(end), L"");
}

void Win32Frontend::RenderLogDropFirstLines(int lines) {
    HWND pane = logPane_;
    LRESULT upTo = SendMessageW(pane, EM_LINEINDEX, static_cast<WPARAM>(lines), 0);
    if (upTo <= 0) return;
    ReplaceRange(pane, 0, static_cast<LONG>(upTo), L"");
}

void Win32Frontend::RenderShowLogEnd() {
    SelectRange(logPane_, -1, -1);
    SendMessageW(logPane_, EM_SCROLLCARET, 0, 0);
}

Text Win32Frontend::LogPaneText() {
    HWND pane = logPane_;
    GETTEXTLENGTHEX lengthOf{GTL_USECRLF | GTL_NUMCHARS, 1200};
    LRESULT length = SendMessageW(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthOf), 0);
    if (length <= 0) return Text();
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;  // UTF-16
    LRESULT got = SendMessageW(pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                               reinterpret_cast<LPARAM>(buffer.data()));
    return Text(buffer.begin(), buffer.begin() + got);
}

void Win32Frontend::SelectAllLogPane() {
    SelectRange(logPane_, 0, -1);
}

void Win32Frontend::CopyLogPane() {
    SendMessageW(logPane_, WM_COPY, 0, 0);
}
