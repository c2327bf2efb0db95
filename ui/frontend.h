// What the core asks of a front end: each front end (the headless command line, the Win32
// window, the Linux desktop window) implements this interface and hands it to the session it
// makes. The core reaches its window through nothing else.
#pragma once

#include "source/text.h"
#include "ui/controls.h"

class Frontend {
public:
    virtual ~Frontend() = default;

    // Shows the model's current state of one control in the real window.
    virtual void RenderControl(const Controls& model, ControlId id) = 0;

    // The log pane. `piece` is exactly what goes at the end of the pane: a line break
    // ("\r\n") when needed, then the appended text.
    virtual void RenderLogAppend(TextView piece) = 0;
    virtual void RenderLogClear() = 0;
    // Removes the last `count` characters of the pane's last line (never a line break).
    virtual void RenderLogEraseEnd(int count) = 0;
    // Removes the pane's first `lines` lines with the line breaks after them.
    virtual void RenderLogDropFirstLines(int lines) = 0;
    // Puts the caret after the last character so that the last line is visible.
    virtual void RenderShowLogEnd() = 0;
    // The pane's whole text as the user sees it (the user may have typed into it).
    virtual Text LogPaneText() = 0;

    // Takes every pending window event without waiting and lets the window repaint; the
    // program acts on none of them. Returns true when one of them was a press of "Cancel".
    virtual bool DrainWindowEvents() = 0;

    // A modal input dialog: title, prompt, one text field with a default, an "OK" button.
    // Returns the text entered; empty when closed without text. `secret` masks the typing.
    virtual Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) = 0;
    // A save-file dialog. `filter` is "display|pattern|display|pattern..." text; the first
    // entry is selected. Returns the chosen path, empty when cancelled.
    virtual Text AskSaveFileName(TextView title, TextView filter, TextView folder) = 0;
    // A modal message box with a single OK button.
    virtual void ShowMessageBox(TextView caption, TextView text) = 0;
    // The clipboard's Unicode text, empty when it holds none.
    virtual Text ClipboardText() = 0;
    // The main window's outer-frame position and inner size now (for the settings file).
    virtual Placement CurrentWindowGeometry() = 0;
};
