// The window layer: what the portable core needs of a front end. Each front end (the
// headless command line, the Win32 window, the Linux desktop window) defines all of these
// in a file of its own; the build links exactly one.
#pragma once

#include "source/text.h"
#include "ui/controls.h"

// Shows the model's current state of one control (ui/controls.h) in the real window.
void RenderControl(ControlId id);

// The log pane. `piece` is exactly what goes at the end of the pane: a line break
// ("\r\n") when needed, then the appended text.
void RenderLogAppend(TextView piece);
void RenderLogClear();
// Removes the last `count` characters of the pane's last line (never a line break).
void RenderLogEraseEnd(int count);
// Removes the pane's first `lines` lines with the line breaks after them.
void RenderLogDropFirstLines(int lines);
// Puts the caret after the last character so that the last line is visible.
void RenderShowLogEnd();
// The pane's whole text as the user sees it (the user may have typed into it).
Text LogPaneText();

// Takes every pending window event without waiting and lets the window repaint; the
// program acts on none of them. Returns true when one of them was a press of "Cancel".
bool DrainWindowEvents();

// A modal input dialog: title, prompt, one text field with a default, an "OK" button.
// Returns the text entered; empty when closed without text. `secret` masks the typing.
Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret);

// A save-file dialog. `filter` is "display|pattern|display|pattern..." text; the first
// entry is selected. Returns the chosen path, empty when cancelled.
Text AskSaveFileName(TextView title, TextView filter, TextView folder);

// A modal message box with a single OK button.
void ShowMessageBox(TextView caption, TextView text);

// The clipboard's Unicode text, empty when it holds none.
Text ClipboardText();

// The main window's outer-frame position and inner size now (for the settings file).
Placement CurrentWindowGeometry();
