#include "ui/log.h"

#include "source/files.h"
#include "ui/window.h"

namespace {
Text logText;
int logLines = 0;
bool streamLast = false;  // the board's output was appended last, and may go on on its line

bool AtLineStart() {
    return !logText.empty() && logText.back() == u'\n';
}

void Add(const Text& piece) {
    if (piece.empty()) return;
    logText += piece;
    RenderLogAppend(piece);
}

}  // namespace

void AppendLog(TextView text) {
    // Line breaks go only between lines: an empty first line still counts as a line, so the
    // next append starts on the second one. Board output that ended its line leaves a line
    // open for this one.
    bool onOpenLine = streamLast && AtLineStart();
    Text piece = logLines > 0 && !onOpenLine ? Text(u"\r\n") : Text();
    piece += text;
    logText += piece;
    if (!onOpenLine) ++logLines;
    streamLast = false;
    RenderLogAppend(piece);
}

void AppendLogStream(TextView text) {
    Text piece;
    if (!streamLast) {
        if (logLines > 0) piece = u"\r\n";
        ++logLines;
        streamLast = true;
    }
    for (char16_t c : text) {
        if (c == u'\r') continue;
        if (c == u'\n') {
            piece += u"\r\n";
            ++logLines;
        } else if (c != u'\b') {
            piece += c;
        } else if (!piece.empty() && piece.back() != u'\n') {
            piece.pop_back();
        } else if (piece.empty() && !logText.empty() && !AtLineStart()) {
            logText.pop_back();
            RenderLogEraseEnd(1);
        }
    }
    Add(piece);
}

void KeepLastLogLines(int lines) {
    // Dropped a hundredth at a time: one cut per couple of hundred lines rather than one per
    // line, and each cut small enough not to hold the window up (a tenth, 2000 lines of a
    // full pane, stalled the Linux window for 70 ms).
    if (lines <= 0 || logLines <= lines) return;
    int drop = logLines - lines + lines / 100;
    size_t at = 0;
    for (int n = 0; n < drop && at != Text::npos; ++n) {
        at = logText.find(u'\n', at);
        if (at != Text::npos) ++at;
    }
    if (at == Text::npos) return;
    logText.erase(0, at);
    logLines -= drop;
    RenderLogDropFirstLines(drop);
}

void ClearLog() {
    logText.clear();
    logLines = 0;
    streamLast = false;
    RenderLogClear();
}

void ShowLogEnd() {
    RenderShowLogEnd();
}

const Text& LogText() {
    return logText;
}

int LogLineCount() {
    return logLines;
}

bool WriteReportFile(TextView path, TextView text) {
    return WriteWholeFile(path, AnsiFromText(text));
}

void SaveReport() {
    Text path = AskSaveFileName(u"Save report", u"Text (*.txt)|*.txt|All files (*.*)|*.*", u"");
    Text text = LogPaneText();
    if (path.empty()) return;
    // The pane stays as it is; a report that could not be written is not passed over in
    // silence, or the user would take it for saved.
    if (!WriteReportFile(path, text))
        ShowMessageBox(u"Save report", u"File write failed!!\r\n" + path);
}
