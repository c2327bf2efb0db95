// The Qt window's parts, shared by its files: the window and its controls, the log pane,
// the dialogs, the event pump and the drops.
#pragma once

#include <QString>

#include "source/text.h"

class QDropEvent;
class WindowConsole;
class QPlainTextEdit;
class QWidget;

inline QString Q(TextView t) {
    return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

inline Text T(const QString& s) {
    return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

// The window's console ("Stay connected"): every command that may start a job runs through
// it, and the log pane's keys go to it while it holds the port.
WindowConsole& QtConsole();

// The "Cancel" button, the one control that takes input while a job pumps the window.
QWidget* CancelWidget();

// Event pump: installs, once, the filter that holds back user input while the core pumps
// the window during a job.
void FilterInputDuringJobs();
// True while the core pumps the window (DrainWindowEvents).
bool Draining();
// Sets whether the pump's filter is on; returns what it was (a dialog lifts it while open).
bool SetDraining(bool on);
// Marks a press of "Cancel" for the next event pump.
void NoteCancelPressed();

// Log pane: creates it in `parent` (monospace, no wrap, drops taken).
QPlainTextEdit* CreateLogPane(QWidget* parent);

// Drops on the window or the log pane, always taken as a copy: files go to the file-drop
// action, and text too where `textToo` (the log pane) when no file came with it.
void TakeDrop(QDropEvent* event, bool textToo);
