// What the window's events do. Every front end turns its native events into these calls,
// after writing the user's choice into the control model (ui/controls.h) where there is one.
// While one of them runs (an upload can take minutes) the others are ignored, so an event
// that a front end dispatches during the event pump has no effect.
#pragma once

#include "app/upload.h"
#include "source/text.h"

// True while an action runs; a front end's close request is honoured only when this is false.
bool CommandRunning();

void OnProgramButton();        // "Program": upload the current program text again
void OnSecondProgramButton();  // the firmware "Program": reset the board on the chosen port
void OnPortBoxChosen();        // Comport = the port box's text
void OnBaudBoxChosen();        // SerialSpeed = the baud-rate box's text
void OnDeviceBoxChosen();      // Device = the device-type box's text
void OnCollectionBoxChosen();  // the chosen entry's whole text into the collection entry box
void AddCollectionEntry();     // "Save settings": the entry box's text becomes a new entry
void OnPasteCode();            // popup "Paste code": upload the clipboard's text
void OnTextDropped(TextView text);
// Files dropped: `paths` holds one path per line; only the first is used. The headless
// program passes how the user asked the file to go.
void OnFilesDropped(TextView paths, UploadAs as = UploadAs::ByExtension);
void OnSaveReport();  // popup "Save As..."
// The file named on the command line at start-up: flashed when it is firmware, otherwise
// uploaded as text whatever its extension.
void OnCommandLineFile();
