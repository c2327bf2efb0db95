// The main window and its native controls. The controls show the control model
// (ui/controls.h); a user's choice is written back into the model and handed to the
// matching command (app/commands.h). Nothing here decides what a command does.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
#include "app/window_model.h"
#include "frontends/win32/main_window_win32.h"
#include "ui/captions.h"

namespace {

const wchar_t kClassName[] = L"QzUploaderMain";

Text WindowText(HWND h) {
    int length = GetWindowTextLengthW(h);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(h, buffer.data(), length + 1);
    return Text(buffer.begin(), buffer.begin() + got);
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

// The window's front end, set from the creation parameters when the window is made.
LRESULT CALLBACK MainWindowProc(HWND h, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* front = reinterpret_cast<Win32Frontend*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!front || !front->MainWindowHandle()) return DefWindowProcW(h, message, w, l);
    return front->WindowMessage(h, message, w, l);
}

}  // namespace

HWND Win32Frontend::MakeControl(const wchar_t* cls, TextView text, DWORD style, ControlId place,
                                int id) {
    Placement p = PlaceOf(place);
    int height = p.Height;
    // A drop-down list's window height includes its opened list; the field itself keeps
    // the 20 pixels (set below with CB_SETITEMHEIGHT).
    if (wcscmp(cls, WC_COMBOBOXW) == 0) height = 200;
    HWND h = CreateWindowExW(0, cls, Wide(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, p.Left,
                             p.Top, p.Width, height, mainWindow_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    if (wcscmp(cls, WC_COMBOBOXW) == 0) {
        SendMessageW(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), p.Height - 6);
    }
    return h;
}

void Win32Frontend::AddTooltip(HWND tips, HWND control, TextView text) {
    std::wstring wide = Wide(text);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = mainWindow_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = wide.data();  // the tooltip control keeps its own copy
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// The "Stay connected" switch sits right of "Save settings", on the row above the log pane,
// as wide as its box and caption need in the font it is drawn with. It shows when the
// window has a console to switch.
HWND Win32Frontend::MakeStaySwitch() {
    std::wstring caption = Wide(kStayConnectedCaption);
    HWND h = CreateWindowExW(
        0, WC_BUTTONW, caption.c_str(), WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, kStaySwitchLeft,
        40, 100, 20, mainWindow_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStaySwitch)),
        GetModuleHandleW(nullptr), nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    // The check box, the gap after it and a few pixels of slack for themes.
    int width = GetSystemMetrics(SM_CXMENUCHECK) + 6 + extent.cx + 6;
    SetWindowPos(h, nullptr, 0, 0, width, 20, SWP_NOMOVE | SWP_NOZORDER);
    return h;
}

// The inner width that shows every control whole with the left margin repeated on the right.
int Win32Frontend::WidthForAllControls() const {
    int right = 0;
    for (HWND child = GetWindow(mainWindow_, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == logPane_) continue;
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, mainWindow_, reinterpret_cast<POINT*>(&r), 2);
        if (r.right > right) right = r.right;
    }
    return right + 10;
}

void Win32Frontend::NoteGeometry() {
    if (!mainWindow_ || IsIconic(mainWindow_)) return;
    RECT outer{}, inner{};
    GetWindowRect(mainWindow_, &outer);
    GetClientRect(mainWindow_, &inner);
    lastGeometry_ = {outer.left, outer.top, inner.right, inner.bottom};
}

// The switch turns the console on or off; once on, what the user types in the log pane goes
// to the board, so the pane takes the keyboard.
void Win32Frontend::StaySwitchClicked() {
    if (!console_ || CommandRunning(*session_)) return;
    bool on = SendMessageW(staySwitch_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    console_->SetOn(on);
    if (on) SetFocus(logPane_);
}

// A choice in one of the four drop-down lists: the model takes the selected index, then
// the command reads it.
void Win32Frontend::BoxChosen(ControlId box, HWND h, void (*command)(Session&)) {
    if (CommandRunning(*session_)) return;
    BoxOf(*session_, box).Selected = static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0));
    command(*session_);
}

void Win32Frontend::OnCommand(int id, int code) {
    Session& s = *session_;
    switch (id) {
        case kIdCancelButton:
            if (code == BN_CLICKED) NoteCancelPressed();
            return;
        case kIdProgramButton:
            if (code == BN_CLICKED) RunJobCommand([&s] { OnProgramButton(s); });
            return;
        case kIdSecondProgramButton:
            if (code == BN_CLICKED) RunJobCommand([&s] { OnSecondProgramButton(s); });
            return;
        case kIdSaveSettingsButton:
            if (code == BN_CLICKED) AddCollectionEntry(s);
            return;
        case kIdStaySwitch:
            if (code == BN_CLICKED) StaySwitchClicked();
            return;
        case kIdCollectionEntry:
            if (code == EN_CHANGE && !CommandRunning(s))
                s.Window.CollectionEntry = WindowText(controls_[int(ControlId::CollectionEntry)]);
            return;
        default:
            break;
    }
    if (code != CBN_SELCHANGE) return;
    if (id == kIdPortBox) BoxChosen(ControlId::PortBox, controls_[0], OnPortBoxChosen);
    if (id == kIdBaudBox) BoxChosen(ControlId::BaudBox, controls_[1], OnBaudBoxChosen);
    if (id == kIdDeviceBox) BoxChosen(ControlId::DeviceBox, controls_[2], OnDeviceBoxChosen);
    if (id == kIdCollectionBox)
        BoxChosen(ControlId::CollectionBox, controls_[3], OnCollectionBoxChosen);
}

void Win32Frontend::OnDropFiles(HDROP drop) {
    Text paths = DroppedFilePaths(drop);
    DragFinish(drop);
    Session& s = *session_;
    if (!paths.empty()) RunJobCommand([&] { OnFilesDropped(s, paths); });
}

LRESULT Win32Frontend::WindowMessage(HWND h, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_DEVICECHANGE:
            return HandleDeviceChange(w, l) ? TRUE : FALSE;
        case WM_COMMAND:
            OnCommand(LOWORD(w), HIWORD(w));
            return 0;
        case WM_SIZE:
            if (logPane_ && w != SIZE_MINIMIZED) ResizeLogPane(LOWORD(l), HIWORD(l));
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
        case kMsgVolumeChange:
            OnVolumeChange(w, l);
            return 0;
        case kMsgPortChange:
            OnPortChanges();
            return 0;
        case WM_CLOSE:
            // The event loop ends the program; the window is destroyed after the save.
            return 0;
        default:
            return DefWindowProcW(h, message, w, l);
    }
}

Win32Frontend::Win32Frontend() : dropTarget_(MakeLogPaneDropTarget(*this)) {}

Win32Frontend::~Win32Frontend() {
    Destroy();
    FreeLogPaneDropTarget(dropTarget_);
}

void Win32Frontend::Destroy() {
    if (!mainWindow_) return;
    if (logPane_) RevokeDragDrop(logPane_);
    // Neither the window procedure nor the log pane's acts on the messages of the
    // destruction: the console may be gone already.
    HWND h = mainWindow_;
    mainWindow_ = nullptr;
    console_ = nullptr;
    DestroyWindow(h);
    logPane_ = staySwitch_ = saveSettingsButton_ = nullptr;
    for (HWND& c : controls_)
        c = nullptr;
}

void Win32Frontend::RunJobCommand(const std::function<void()>& command) {
    if (console_)
        console_->RunJob(command);
    else
        command();
}

void Win32Frontend::ResizeLogPane(int width, int height) {
    Placement p = LogPanePlacement(width, height);
    MoveWindow(logPane_, p.Left, p.Top, p.Width, p.Height, TRUE);
}

bool Win32Frontend::Build(Session& session, WindowConsole* console) {
    session_ = &session;
    console_ = console;
    const AppState& app = session.App;
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
    RegisterClassExW(&wc);  // fails harmlessly for a second window: the class is there

    // The settings give the outer frame's corner and the inner area's size. The window
    // procedure finds this object from the creation parameters; it handles messages once
    // the handle is known here.
    RECT frame{0, 0, app.MainW, app.MainH};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND made = CreateWindowExW(0, kClassName, Wide(app.WindowTitle).c_str(),
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, app.MainX, app.MainY,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, GetModuleHandleW(nullptr), this);
    if (!made) return false;
    mainWindow_ = made;
    lastGeometry_ = {app.MainX, app.MainY, app.MainW, app.MainH};

    const DWORD list = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    controls_[0] = MakeControl(WC_COMBOBOXW, u"", list, ControlId::PortBox, kIdPortBox);
    controls_[1] = MakeControl(WC_COMBOBOXW, u"", list, ControlId::BaudBox, kIdBaudBox);
    controls_[2] = MakeControl(WC_COMBOBOXW, u"", list, ControlId::DeviceBox, kIdDeviceBox);
    controls_[3] = MakeControl(WC_COMBOBOXW, u"", list, ControlId::CollectionBox, kIdCollectionBox);
    controls_[4] = MakeControl(WC_EDITW, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                               ControlId::CollectionEntry, kIdCollectionEntry);
    controls_[5] =
        MakeControl(WC_STATICW, u"", WS_VISIBLE, ControlId::ProgressLabel, kIdProgressLabel);
    controls_[6] = MakeControl(WC_BUTTONW, kProgramCaption, WS_TABSTOP, ControlId::ProgramButton,
                               kIdProgramButton);
    controls_[7] = MakeControl(WC_BUTTONW, kProgramCaption, WS_TABSTOP,
                               ControlId::SecondProgramButton, kIdSecondProgramButton);
    controls_[8] = MakeControl(WC_BUTTONW, kCancelCaption, WS_TABSTOP, ControlId::CancelButton,
                               kIdCancelButton);
    saveSettingsButton_ =
        CreateWindowExW(0, WC_BUTTONW, Wide(kSaveSettingsCaption).c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP, 420, 40, 100, 20, mainWindow_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdSaveSettingsButton)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(saveSettingsButton_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    staySwitch_ = MakeStaySwitch();
    if (console_) {
        SendMessageW(staySwitch_, BM_SETCHECK, console_->On() ? BST_CHECKED : BST_UNCHECKED, 0);
        ShowWindow(staySwitch_, SW_SHOW);
    }
    logPane_ =
        CreateLogPane(mainWindow_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogPane)));
    AcceptDropsOnLogPane(logPane_);
    ResizeLogPane(app.MainW, app.MainH);

    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mainWindow_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    AddTooltip(tips, controls_[0], kPortBoxTip);
    AddTooltip(tips, controls_[1], kBaudBoxTip);
    AddTooltip(tips, controls_[2], kDeviceBoxTip);
    AddTooltip(tips, controls_[3], kCollectionBoxTip);
    AddTooltip(tips, controls_[6], kProgramTip);

    // A first start opens the window wide enough for every control; a stored width stays.
    if (!app.MainWStored) {
        RECT want{0, 0, WidthForAllControls(), app.MainH};
        AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
        SetWindowPos(mainWindow_, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }

    DragAcceptFiles(mainWindow_, TRUE);
    BuildControls(session);  // fills the model and renders every control, buttons hidden
    ShowWindow(mainWindow_, SW_SHOWNORMAL);
    UpdateWindow(mainWindow_);
    return true;
}

void Win32Frontend::RenderControl(const Controls& model, ControlId id) {
    HWND h = ControlHandle(id);
    if (!h) return;
    switch (id) {
        case ControlId::PortBox:
            RenderBox(h, model.PortBox);
            return;
        case ControlId::BaudBox:
            RenderBox(h, model.BaudBox);
            return;
        case ControlId::DeviceBox:
            RenderBox(h, model.DeviceBox);
            return;
        case ControlId::CollectionBox:
            RenderBox(h, model.CollectionBox);
            return;
        case ControlId::CollectionEntry:
            SetWindowTextW(h, Wide(model.CollectionEntry).c_str());
            return;
        case ControlId::ProgressLabel:
            SetWindowTextW(h, Wide(model.ProgressLabel).c_str());
            return;
        case ControlId::ProgramButton:
            ShowWindow(h, model.ProgramShown ? SW_SHOW : SW_HIDE);
            break;
        case ControlId::SecondProgramButton:
            ShowWindow(h, model.SecondProgramShown ? SW_SHOW : SW_HIDE);
            break;
        case ControlId::CancelButton:
            ShowWindow(h, model.CancelShown ? SW_SHOW : SW_HIDE);
            break;
    }
    // A button that shows up lies over the progress label at the same place.
    if (IsWindowVisible(h)) SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

Placement Win32Frontend::CurrentWindowGeometry() {
    NoteGeometry();
    return lastGeometry_;
}
