// The Win32 main window: its front end object (the handles, the event loop's and the
// pump's state, the pending drop), shared by the program and its Wine tests.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <deque>
#include <functional>
#include <string>

#include "source/text.h"
#include "ui/controls.h"
#include "ui/frontend.h"

struct IDropTarget;
struct Session;
class WindowConsole;

// What the log pane took in its last drop until its job starts: the text, or the files'
// paths. A second drop before the first one's job started replaces it.
struct PendingDrop {
    Text Taken;
    bool IsText = false;
    bool Pending = false;
};

// The Win32 window of one session. The window procedure reaches this object through the
// window's GWLP_USERDATA, the log pane's through its subclass data.
class Win32Frontend final : public Frontend {
public:
    Win32Frontend();
    ~Win32Frontend() override;
    Win32Frontend(const Win32Frontend&) = delete;
    Win32Frontend& operator=(const Win32Frontend&) = delete;

    // Opens the main window of `session` (made over this front end) with its controls from
    // the control model (BuildControls) and shows it. `console` (owned by the caller,
    // living as long as the window) is the console that the "Stay connected" switch turns
    // on; without one the switch stays hidden. False when the window could not be created
    // (no display).
    bool Build(Session& session, WindowConsole* console = nullptr);
    // Destroys the window (after the settings were saved).
    void Destroy();

    HWND MainWindowHandle() const { return mainWindow_; }
    // The window's console, null when it has none.
    WindowConsole* Console() const { return console_; }
    // The native control that shows a control of the model.
    HWND ControlHandle(ControlId id) const { return controls_[static_cast<int>(id)]; }
    HWND LogPaneHandle() const { return logPane_; }
    // The "Stay connected" check box.
    HWND StaySwitchHandle() const { return staySwitch_; }
    // The log pane's drop target, for the checks that drop data on it as OLE does.
    IDropTarget* LogPaneDropTarget() const { return dropTarget_; }

    // Runs a command that may start a job through the window's console, which lets go of
    // the port for the job and takes it back afterwards; straight away without a console.
    void RunJobCommand(const std::function<void()>& command);
    // Handles the pending window events. When none is pending it waits for one: at most
    // `maxWaitMs`, and at most 5 ms while the console needs looking after (it reads the
    // port between events). False once the window was closed while no command ran.
    bool HandleNextWindowEvent(DWORD maxWaitMs = INFINITE);
    // Runs HandleNextWindowEvent until the window is closed.
    void RunEventLoop();
    // Opens the log pane's popup menu at the mouse position and runs the chosen item.
    void OpenLogPopupMenu();
    // Marks a press of "Cancel" for the next event pump.
    void NoteCancelPressed() { cancelPressed_ = true; }
    // WM_DEVICECHANGE: a port's record is kept and a volume's posted to the window
    // (kMsgPortChange, kMsgVolumeChange); both are handled from the event loop, so that
    // neither the port listing nor the firmware copy runs inside the system's broadcast. Returns
    // true (the message's result TRUE) for every device-change message.
    bool HandleDeviceChange(WPARAM event, LPARAM record);
    // Places the log pane for an inner size W x H of the window.
    void ResizeLogPane(int width, int height);
    // Takes a drop on the log pane and posts kMsgStartLogPaneDrop for its job.
    void TakeLogPaneDrop(Text taken, bool isText);
    // Starts the job of the drop the log pane took last.
    void StartLogPaneDrop();
    void SelectAllLogPane();
    void CopyLogPane();

    // Frontend
    void RenderControl(const Controls& model, ControlId id) override;
    void RenderLogAppend(TextView piece) override;
    void RenderLogClear() override;
    void RenderLogEraseEnd(int count) override;
    void RenderLogDropFirstLines(int lines) override;
    void RenderShowLogEnd() override;
    Text LogPaneText() override;
    bool DrainWindowEvents() override;
    Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) override;
    Text AskSaveFileName(TextView title, TextView filter, TextView folder) override;
    void ShowMessageBox(TextView caption, TextView text) override;
    Text ClipboardText() override;
    Placement CurrentWindowGeometry() override;

    // For the window procedure and the log pane's subclass.
    Session& SessionOf() const { return *session_; }
    LRESULT WindowMessage(HWND h, UINT message, WPARAM w, LPARAM l);

private:
    void OnCommand(int id, int code);
    void BoxChosen(ControlId box, HWND h, void (*command)(Session&));
    void StaySwitchClicked();
    void OnDropFiles(HDROP drop);
    void OnVolumeChange(WPARAM arrived, LPARAM letter);
    void OnPortChanges();
    void NoteGeometry();
    int WidthForAllControls() const;
    HWND MakeControl(const wchar_t* cls, TextView text, DWORD style, ControlId place, int id);
    HWND MakeStaySwitch();
    void AddTooltip(HWND tips, HWND control, TextView text);
    HWND CreateLogPane(HWND parent, HMENU id);
    bool AcceptDropsOnLogPane(HWND pane);

    Session* session_ = nullptr;
    WindowConsole* console_ = nullptr;
    HWND mainWindow_ = nullptr;
    HWND controls_[9] = {};
    HWND saveSettingsButton_ = nullptr;
    HWND staySwitch_ = nullptr;
    HWND logPane_ = nullptr;
    Placement lastGeometry_{};
    bool cancelPressed_ = false;
    bool closeRequested_ = false;
    PendingDrop drop_;
    // Ports that came or went (name, arrived), for kMsgPortChange.
    std::deque<std::pair<Text, bool>> portChanges_;
    IDropTarget* dropTarget_ = nullptr;  // owned: made in drop_target_win32.cpp
};

// The paths of the files in a shell drop, one a line (empty when it holds none).
Text DroppedFilePaths(HDROP drop);
// The log pane's OLE drop target for `front`, and its release.
IDropTarget* MakeLogPaneDropTarget(Win32Frontend& front);
void FreeLogPaneDropTarget(IDropTarget* target);
// The log pane's window procedure (a subclass whose data is the Win32Frontend).
LRESULT CALLBACK LogPaneProc(HWND h, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR front);

// Control and menu identifiers.
enum : int {
    kIdPortBox = 101,
    kIdBaudBox,
    kIdDeviceBox,
    kIdCollectionBox,
    kIdCollectionEntry,
    kIdProgressLabel,
    kIdProgramButton,
    kIdSecondProgramButton,
    kIdCancelButton,
    kIdSaveSettingsButton,
    kIdLogPane,
    kIdStaySwitch,
    kIdMenuPaste = 201,
    kIdMenuSelectAll,
    kIdMenuCopy,
    kIdMenuSaveAs,
};
constexpr UINT kMsgStartLogPaneDrop = WM_APP + 1;
// A volume came or went: wParam 1 arrived, 0 removed; lParam the drive's letter index
// (0 = A), or -1 with none.
constexpr UINT kMsgVolumeChange = WM_APP + 2;
// Ports came or went: the window's list of port changes holds them.
constexpr UINT kMsgPortChange = WM_APP + 3;
// The "Stay connected" switch's left edge: right of "Save settings" (420, 40, 100 wide).
constexpr int kStaySwitchLeft = 530;

inline std::wstring Wide(TextView text) {
    return std::wstring(text.begin(), text.end());
}
