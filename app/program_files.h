// Program files as the upload job meets them: reading a program file, and writing and
// reading encoded files, with what the user sees of it (log lines, the save dialog).
#pragma once

#include "source/text.h"

struct Session;

// Reads the whole file as text (ANSI code page, line ends untouched) and clears
// `App.TextFromPaste`. The file is opened for reading only and never created. An empty path
// gives empty text silently; a file that cannot be read gives empty text after logging
// "File read failed!!" and running the event pump; `readFailed`, when given, tells the two
// apart.
Text ReadProgramFile(Session& s, TextView path, bool* readFailed = nullptr);

// Crunches first on a "'crunch this" line, enciphers, asks for a file name ("Encoded file"
// dialog), adds ".bae" when the name has no extension and names no device, logs "Saving to "
// + name and writes: a file through a fresh file renamed over the old one, so that a failed
// write leaves the old file whole. True when the file was written.
bool EncodeAndSave(Session& s, TextView text);
// Reads and deciphers the file named by `App.ProgramPath`; empty text when it cannot be read.
Text DecodeEncodedFile(const Session& s);
