// What the window's events do. Every front end turns its native events into these calls,
// after writing the user's choice into the control model (ui/controls.h) where there is one.
// While one of them runs (an upload can take minutes) the others are ignored, so an event
// that a front end dispatches during the event pump has no effect.
#pragma once

#include "app/upload.h"
#include "source/text.h"

struct Session;

// True while an action runs; a front end's close request is honoured only when this is false.
bool CommandRunning(const Session& s);

void OnProgramButton(Session& s);  // "Program": upload the current program text again
void OnSecondProgramButton(
    Session& s);                     // the firmware "Program": reset the board on the chosen port
void OnPortBoxChosen(Session& s);    // Comport = the port box's text
void OnBaudBoxChosen(Session& s);    // SerialSpeed = the baud-rate box's text
void OnDeviceBoxChosen(Session& s);  // Device = the device-type box's text
void OnCollectionBoxChosen(
    Session& s);                      // the chosen entry's whole text into the collection entry box
void AddCollectionEntry(Session& s);  // "Save settings": the entry box's text becomes a new entry
void OnPasteCode(Session& s);         // popup "Paste code": upload the clipboard's text
void OnTextDropped(Session& s, TextView text);
// Files dropped: `paths` holds one path per line; only the first is used. The headless
// program passes how the user asked the file to go.
void OnFilesDropped(Session& s, TextView paths, UploadAs as = UploadAs::ByExtension);
void OnSaveReport(Session& s);  // popup "Save As..."
// The file named on the command line at start-up: flashed when it is firmware, otherwise
// uploaded as text whatever its extension.
void OnCommandLineFile(Session& s);
