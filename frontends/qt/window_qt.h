// The Qt window: the front end of one session. It builds the main window from the control
// model and runs its events into the commands of app/commands.h.
#pragma once

#include <QWidget>
#include <string>

#include "settings/mount_table.h"
#include "source/text.h"
#include "ui/frontend.h"

class QObject;
class QPlainTextEdit;
class QtWindow;
class WindowConsole;
struct Session;

class QtFrontend final : public Frontend {
public:
    QtFrontend();
    ~QtFrontend() override;
    QtFrontend(const QtFrontend&) = delete;
    QtFrontend& operator=(const QtFrontend&) = delete;

    // Builds and shows the main window of `session` (made over this front end) from the
    // control model and the application state; `settingsPath` is where the settings are
    // saved when the window is closed (empty: the usual place). Also starts watching for
    // serial ports and drives (`devFolder`, `mountTable`: the places watched, overridable
    // for tests).
    QWidget* Build(Session& session, const Text& settingsPath,
                   const std::string& devFolder = "/dev",
                   const std::string& mountTable = kSystemMountTable);
    // The widgets, for tests: the main window (null before Build), the log pane.
    QWidget* MainWindow() const;
    QPlainTextEdit* LogPane() const;
    // The window's console ("Stay connected"); only while the window is there.
    WindowConsole& Console() const;
    // Closes and destroys the window without saving (tests; the program's close saves). Its
    // console lets go of the port through the session: call this while the session lives.
    void Destroy();

    // The event pump's state: true while the core pumps the window (DrainWindowEvents);
    // SetDraining returns what it was (a dialog lifts it while open).
    bool Draining() const { return draining_; }
    bool SetDraining(bool on);
    // Marks a press of "Cancel" for the next event pump.
    void NoteCancelPressed() { cancelPressed_ = true; }
    // The "Cancel" button, the one control that takes input while a job pumps the window.
    QWidget* CancelWidget() const;

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

private:
    QtWindow* window_ = nullptr;
    Session* session_ = nullptr;
    bool draining_ = false;
    bool cancelPressed_ = false;
    QObject* inputFilter_ = nullptr;  // installed on the application while this lives
};
