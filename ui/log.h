// The log pane's content: the only log of the program. Lines are only ever appended at the
// end or cleared all at once.
#pragma once

#include "source/text.h"

struct View;

// What an empty log pane shows, in grey, so that a new user knows how to start.
inline constexpr TextView kEmptyLogHint =
    u"Drop a program file here, or right-click and choose \"Paste code\"";

// Adds one line at the end; an empty text adds an empty line. A text holding line breaks
// shows as several lines.
void AppendLog(View& v, TextView text);
void ClearLog(View& v);
// Adds what the board printed, as it comes: no line break is added between pieces, so a
// line the board prints in parts shows as one. A piece that follows a line of AppendLog
// starts on a line of its own, and a line appended after it does too. CR is dropped and LF
// ends the line; a backspace removes the character before it on the same line.
void AppendLogStream(View& v, TextView text);
// Drops the oldest lines so that at most `lines` (and not fewer than 99 in 100 of them)
// remain, when there are more.
void KeepLastLogLines(View& v, int lines);
void ShowLogEnd(View& v);
// What the core has appended since the last clear, lines separated by "\r\n".
const Text& LogText(const View& v);

// Writes a report: `text` in the ANSI code page, no byte-order mark, no line break added,
// replacing whatever the file held. Returns false when the file cannot be written.
bool WriteReportFile(TextView path, TextView text);
// The "Save As..." action: asks for a file name and writes the pane's whole text there.
void SaveReport(View& v);
