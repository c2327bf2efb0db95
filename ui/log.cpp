#include "ui/log.h"

#include "source/files.h"
#include "ui/window.h"

namespace {
Text logText;
int logLines = 0;
}  // namespace

void AppendLog(TextView text) {
    // Line breaks go only between lines: an empty first line still counts as a line, so the
    // next append starts on the second one.
    Text piece = logLines > 0 ? Text(u"\r\n") : Text();
    piece += text;
    logText += piece;
    ++logLines;
    RenderLogAppend(piece);
}

void ClearLog() {
    logText.clear();
    logLines = 0;
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
