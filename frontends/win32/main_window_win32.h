// The Win32 main window: its handles, the event loop and the device-change handling, shared
// by the program and its Wine tests.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>

#include "ui/controls.h"

class WindowConsole;

// Opens the main window with its controls from the control model (BuildControls) and
// shows it. `console` (owned by the caller, living as long as the window) is the console
// that the "Stay connected" switch turns on; without one the switch stays hidden. False
// when the window could not be created (no display).
bool BuildMainWindow(WindowConsole* console = nullptr);
HWND MainWindowHandle();
// The window's console, null when it has none.
WindowConsole* MainConsole();
// Runs a command that may start a job through the window's console, which lets go of the
// port for the job and takes it back afterwards; straight away without a console.
void RunJobCommand(const std::function<void()>& command);
// The native control that shows a control of the model.
HWND ControlHandle(ControlId id);
HWND LogPaneHandle();
// The "Stay connected" check box.
HWND StaySwitchHandle();
// Places the log pane for an inner size W x H of the window.
void ResizeLogPane(int width, int height);

// Handles one pending window event, waiting at most 5 ms for one. False once the window
// was closed while no command ran.
bool HandleNextWindowEvent();
// Runs HandleNextWindowEvent until the window is closed.
void RunEventLoop();
// Opens the log pane's popup menu at the mouse position and runs the chosen item.
void OpenLogPopupMenu();
// Marks a press of "Cancel" for the next event pump.
void NoteCancelPressed();

// WM_DEVICECHANGE: port and volume records go to the arrival handling (settings/ports.h).
// Returns true (the message's result TRUE) for every device-change message.
bool HandleDeviceChange(WPARAM event, LPARAM record);

// Log pane set-up, called once by BuildMainWindow.
HWND CreateLogPane(HWND parent, HMENU id);
// Makes the log pane take dropped text and files through its own OLE drop target (OLE must
// be initialised). False when the target could not be registered.
bool AcceptDropsOnLogPane(HWND pane);
// The paths of the files in a shell drop, one a line (empty when it holds none).
Text DroppedFilePaths(HDROP drop);
// Starts the job of the drop the log pane took last; the pane posts kMsgStartLogPaneDrop to
// the main window for it.
void StartLogPaneDrop();
// That drop target, for the checks that drop data on it as OLE does.
struct IDropTarget;
IDropTarget* LogPaneDropTarget();
void SelectAllLogPane();
void CopyLogPane();

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
// The "Stay connected" switch's left edge: right of "Save settings" (420, 40, 100 wide).
constexpr int kStaySwitchLeft = 530;
