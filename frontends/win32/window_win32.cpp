// The main window and its native controls. The controls show the control model
// (ui/controls.h); a user's choice is written back into the model and handed to the
// matching command (app/commands.h). Nothing here decides what a command does.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/commands.h"
#include "app/console.h"
#include "app/state.h"
#include "frontends/win32/main_window_win32.h"
#include "ui/window.h"

namespace {

HWND mainWindow = nullptr;
HWND controls[9] = {};
HWND saveSettingsButton = nullptr;
HWND staySwitch = nullptr;
HWND logPane = nullptr;
Placement lastGeometry{};

const wchar_t kClassName[] = L"QzUploaderMain";

std::wstring Wide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

Text WindowText(HWND h) {
    int length = GetWindowTextLengthW(h);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(h, buffer.data(), length + 1);
    return Text(buffer.begin(), buffer.begin() + got);
}

HWND MakeControl(const wchar_t* cls, const wchar_t* text, DWORD style, ControlId place, int id) {
    Placement p = PlaceOf(place);
    int height = p.Height;
    // A drop-down list's window height includes its opened list; the field itself keeps
    // the 20 pixels (set below with CB_SETITEMHEIGHT).
    if (wcscmp(cls, WC_COMBOBOXW) == 0) height = 200;
    HWND h =
        CreateWindowExW(0, cls, text, WS_CHILD | WS_CLIPSIBLINGS | style, p.Left, p.Top, p.Width,
                        height, mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    if (wcscmp(cls, WC_COMBOBOXW) == 0) {
        SendMessageW(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), p.Height - 6);
    }
    return h;
}

void AddTooltip(HWND tips, HWND control, const wchar_t* text) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = mainWindow;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// Fills a drop-down list with what the model shows for each item. The open list is as wide
// as its widest item, so a port's description can be read there in full while the closed
// box keeps its place and shows the start of it, the port's name.
void RenderBox(HWND h, const ComboBox& box) {
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (size_t i = 0; i < box.Items.size(); ++i) {
        std::wstring label = Wide(BoxLabel(box, i));
        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
        SIZE size{};
        GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
        if (size.cx > widest) widest = size.cx;
    }
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    int margins = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    SendMessageW(h, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
    SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(box.Selected), 0);
}

// The "Stay connected" switch sits right of "Save settings", on the row above the log pane,
// as wide as its box and caption need in the font it is drawn with. It shows when the
// window has a console to switch.
HWND MakeStaySwitch() {
    HWND h = CreateWindowExW(
        0, WC_BUTTONW, L"Stay connected", WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, kStaySwitchLeft,
        40, 100, 20, mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStaySwitch)),
        GetModuleHandleW(nullptr), nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE caption{};
    GetTextExtentPoint32W(dc, L"Stay connected", 14, &caption);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    // The check box, the gap after it and a few pixels of slack for themes.
    int width = GetSystemMetrics(SM_CXMENUCHECK) + 6 + caption.cx + 6;
    SetWindowPos(h, nullptr, 0, 0, width, 20, SWP_NOMOVE | SWP_NOZORDER);
    return h;
}

// The inner width that shows every control whole with the left margin repeated on the right.
int WidthForAllControls() {
    RECT inner{};
    GetClientRect(mainWindow, &inner);
    int right = 0;
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == logPane) continue;
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&r), 2);
        if (r.right > right) right = r.right;
    }
    return right + 10;
}

void NoteGeometry() {
    if (!mainWindow || IsIconic(mainWindow)) return;
    RECT outer{}, inner{};
    GetWindowRect(mainWindow, &outer);
    GetClientRect(mainWindow, &inner);
    lastGeometry = {outer.left, outer.top, inner.right, inner.bottom};
}

// The switch turns the console on or off; once on, what the user types in the log pane goes
// to the board, so the pane takes the keyboard.
void StaySwitchClicked() {
    WindowConsole* console = MainConsole();
    if (!console || CommandRunning()) return;
    bool on = SendMessageW(staySwitch, BM_GETCHECK, 0, 0) == BST_CHECKED;
    console->SetOn(on);
    if (on) SetFocus(logPane);
}

// A choice in one of the four drop-down lists: the model takes the selected index, then
// the command reads it.
void BoxChosen(ControlId box, HWND h, void (*command)()) {
    if (CommandRunning()) return;
    BoxOf(box).Selected = static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0));
    command();
}

void OnCommand(int id, int code) {
    switch (id) {
        case kIdCancelButton:
            if (code == BN_CLICKED) NoteCancelPressed();
            return;
        case kIdProgramButton:
            if (code == BN_CLICKED) RunJobCommand(OnProgramButton);
            return;
        case kIdSecondProgramButton:
            if (code == BN_CLICKED) RunJobCommand(OnSecondProgramButton);
            return;
        case kIdSaveSettingsButton:
            if (code == BN_CLICKED) AddCollectionEntry();
            return;
        case kIdStaySwitch:
            if (code == BN_CLICKED) StaySwitchClicked();
            return;
        case kIdCollectionEntry:
            if (code == EN_CHANGE && !CommandRunning())
                Window.CollectionEntry = WindowText(controls[int(ControlId::CollectionEntry)]);
            return;
        default:
            break;
    }
    if (code != CBN_SELCHANGE) return;
    if (id == kIdPortBox) BoxChosen(ControlId::PortBox, controls[0], OnPortBoxChosen);
    if (id == kIdBaudBox) BoxChosen(ControlId::BaudBox, controls[1], OnBaudBoxChosen);
    if (id == kIdDeviceBox) BoxChosen(ControlId::DeviceBox, controls[2], OnDeviceBoxChosen);
    if (id == kIdCollectionBox)
        BoxChosen(ControlId::CollectionBox, controls[3], OnCollectionBoxChosen);
}

void OnDropFiles(HDROP drop) {
    Text paths = DroppedFilePaths(drop);
    DragFinish(drop);
    if (!paths.empty()) RunJobCommand([&] { OnFilesDropped(paths); });
}

LRESULT CALLBACK MainWindowProc(HWND h, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_DEVICECHANGE:
            return HandleDeviceChange(w, l) ? TRUE : FALSE;
        case WM_COMMAND:
            OnCommand(LOWORD(w), HIWORD(w));
            return 0;
        case WM_SIZE:
            if (logPane && w != SIZE_MINIMIZED) ResizeLogPane(LOWORD(l), HIWORD(l));
            NoteGeometry();
            return 0;
        case WM_MOVE:
            NoteGeometry();
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(w));
            return 0;
        case kMsgStartLogPaneDrop:
            StartLogPaneDrop();
            return 0;
        case WM_CLOSE:
            // The event loop ends the program; the window is destroyed after the save.
            return 0;
        default:
            return DefWindowProcW(h, message, w, l);
    }
}

}  // namespace

HWND MainWindowHandle() {
    return mainWindow;
}

WindowConsole* MainConsole() {
    if (!mainWindow) return nullptr;
    return reinterpret_cast<WindowConsole*>(GetWindowLongPtrW(mainWindow, GWLP_USERDATA));
}

void RunJobCommand(const std::function<void()>& command) {
    if (WindowConsole* console = MainConsole())
        console->RunJob(command);
    else
        command();
}

HWND ControlHandle(ControlId id) {
    return controls[static_cast<int>(id)];
}

HWND StaySwitchHandle() {
    return staySwitch;
}

HWND LogPaneHandle() {
    return logPane;
}

void ResizeLogPane(int width, int height) {
    Placement p = LogPanePlacement(width, height);
    MoveWindow(logPane, p.Left, p.Top, p.Width, p.Height, TRUE);
}

bool BuildMainWindow(WindowConsole* console) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The program's own icon (resource 1); the checks, built without it, get the system's.
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    // The settings give the outer frame's corner and the inner area's size.
    RECT frame{0, 0, App.MainW, App.MainH};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    mainWindow = CreateWindowExW(0, kClassName, Wide(App.WindowTitle).c_str(),
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, App.MainX, App.MainY,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!mainWindow) return false;
    SetWindowLongPtrW(mainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(console));
    lastGeometry = {App.MainX, App.MainY, App.MainW, App.MainH};

    const DWORD list = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    controls[0] = MakeControl(WC_COMBOBOXW, L"", list, ControlId::PortBox, kIdPortBox);
    controls[1] = MakeControl(WC_COMBOBOXW, L"", list, ControlId::BaudBox, kIdBaudBox);
    controls[2] = MakeControl(WC_COMBOBOXW, L"", list, ControlId::DeviceBox, kIdDeviceBox);
    controls[3] = MakeControl(WC_COMBOBOXW, L"", list, ControlId::CollectionBox, kIdCollectionBox);
    controls[4] = MakeControl(WC_EDITW, L"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                              ControlId::CollectionEntry, kIdCollectionEntry);
    controls[5] =
        MakeControl(WC_STATICW, L"", WS_VISIBLE, ControlId::ProgressLabel, kIdProgressLabel);
    controls[6] =
        MakeControl(WC_BUTTONW, L"Program", WS_TABSTOP, ControlId::ProgramButton, kIdProgramButton);
    controls[7] = MakeControl(WC_BUTTONW, L"Program", WS_TABSTOP, ControlId::SecondProgramButton,
                              kIdSecondProgramButton);
    controls[8] =
        MakeControl(WC_BUTTONW, L"Cancel", WS_TABSTOP, ControlId::CancelButton, kIdCancelButton);
    saveSettingsButton = CreateWindowExW(
        0, WC_BUTTONW, L"Save settings", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 420, 40, 100, 20,
        mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdSaveSettingsButton)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(saveSettingsButton, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    staySwitch = MakeStaySwitch();
    if (console) {
        SendMessageW(staySwitch, BM_SETCHECK, console->On() ? BST_CHECKED : BST_UNCHECKED, 0);
        ShowWindow(staySwitch, SW_SHOW);
    }
    logPane = CreateLogPane(mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogPane)));
    AcceptDropsOnLogPane(logPane);
    ResizeLogPane(App.MainW, App.MainH);

    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mainWindow, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    AddTooltip(tips, controls[0], L"Serial port");
    AddTooltip(tips, controls[1], L"Serial baud rate");
    AddTooltip(tips, controls[2], L"Connected device");
    AddTooltip(tips, controls[3], L"My collection");
    AddTooltip(tips, controls[6], L"Load program");

    // A first start opens the window wide enough for every control; a stored width stays.
    if (!App.MainWStored) {
        RECT want{0, 0, WidthForAllControls(), App.MainH};
        AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
        SetWindowPos(mainWindow, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }

    DragAcceptFiles(mainWindow, TRUE);
    BuildControls();  // fills the model and renders every control, buttons hidden
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    UpdateWindow(mainWindow);
    return true;
}

void RenderControl(ControlId id) {
    HWND h = ControlHandle(id);
    if (!h) return;
    switch (id) {
        case ControlId::PortBox:
        case ControlId::BaudBox:
        case ControlId::DeviceBox:
        case ControlId::CollectionBox:
            RenderBox(h, BoxOf(id));
            return;
        case ControlId::CollectionEntry:
            SetWindowTextW(h, Wide(Window.CollectionEntry).c_str());
            return;
        case ControlId::ProgressLabel:
            SetWindowTextW(h, Wide(Window.ProgressLabel).c_str());
            return;
        case ControlId::ProgramButton:
            ShowWindow(h, Window.ProgramShown ? SW_SHOW : SW_HIDE);
            break;
        case ControlId::SecondProgramButton:
            ShowWindow(h, Window.SecondProgramShown ? SW_SHOW : SW_HIDE);
            break;
        case ControlId::CancelButton:
            ShowWindow(h, Window.CancelShown ? SW_SHOW : SW_HIDE);
            break;
    }
    // A button that shows up lies over the progress label at the same place.
    if (IsWindowVisible(h)) SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

Placement CurrentWindowGeometry() {
    NoteGeometry();
    return lastGeometry;
}
