// The Qt window: builds the main window from the control model and runs its events into
// the commands of app/commands.h.
#pragma once

#include <QWidget>
#include <string>

#include "settings/mount_table.h"
#include "source/text.h"

class QPlainTextEdit;

// Builds and shows the main window from the control model and the application state;
// `settingsPath` is where the settings are saved when the window is closed (empty: the
// usual place). Also starts watching for serial ports and drives (`devFolder`,
// `mountTable`: the places watched, overridable for tests).
QWidget* BuildQtWindow(const Text& settingsPath, const std::string& devFolder = "/dev",
                       const std::string& mountTable = kSystemMountTable);
// The widgets, for tests: the main window, the log pane, a control by its object name.
QWidget* QtMainWindow();
QPlainTextEdit* QtLogPane();
// Closes and destroys the window without saving (tests).
void DestroyQtWindow();
