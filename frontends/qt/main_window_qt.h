// The Qt window's parts, shared by its files: the window and its controls, the log pane,
// the dialogs, the event pump and the drops.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "app/console.h"
#include "settings/hotplug_linux.h"
#include "source/text.h"

class QCheckBox;
class QComboBox;
class QDropEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QtFrontend;
struct Session;

inline QString Q(TextView t) {
    return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

inline Text T(const QString& s) {
    return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

// The main window of one session, with its controls, its console and its device watches.
class QtWindow : public QWidget {
public:
    QtWindow(QtFrontend& front, Session& session, const Text& savePath);
    ~QtWindow() override;

    // Runs a command that may start a job through the console, which lets go of the port for
    // the job and takes it back afterwards.
    void RunJob(const std::function<void()>& command);
    // The console is looked after between events only while it is switched on; otherwise
    // nothing wakes the event loop for it.
    void UpdateConsoleTimer();
    void WatchDevices(const std::string& devFolder, const std::string& mountTable);
    void CloseWatches();
    // What the device watches' notifiers call: reads what changed and hands each port or
    // mount point that came or went to the notices.
    void PortsChanged();
    void VolumesChanged();

    QtFrontend& Front;
    Session& S;
    // The window's console ("Stay connected"): every command that may start a job runs
    // through it, and the log pane's keys go to it while it holds the port.
    WindowConsole Console;
    Text SavePath;  // where the settings are saved when the window is closed (empty: usual)
    HotplugWatch Watches;

    QPlainTextEdit* LogPane = nullptr;
    QComboBox *PortBox = nullptr, *BaudBox = nullptr, *DeviceBox = nullptr,
              *CollectionBox = nullptr;
    QLineEdit* Entry = nullptr;
    QLabel* Progress = nullptr;
    QPushButton *ProgramButton = nullptr, *SecondProgramButton = nullptr, *CancelButton = nullptr,
                *SaveButton = nullptr;
    QCheckBox* StayConnected = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    static constexpr int kConsolePollMs = 10;
    QTimer consoleTimer_;
    bool consoleListened_ = false;
};

// The event pump's filter of user input for `front`, installed on the application.
QObject* MakeInputFilter(const QtFrontend& front);

// Log pane: creates it in `window` (monospace, no wrap, drops taken).
QPlainTextEdit* CreateLogPane(QtWindow& window);

// Drops on the window or the log pane, always taken as a copy: files go to the file-drop
// action, and text too where `textToo` (the log pane) when no file came with it.
void TakeDrop(QtWindow& window, QDropEvent* event, bool textToo);
