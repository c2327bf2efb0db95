#include "ui/log.h"

#include "source/files.h"
#include "ui/view.h"

namespace {

bool AtLineStart(const LogContent& log) {
    return !log.All.empty() && log.All.back() == u'\n';
}

void Add(View& v, const Text& piece) {
    if (piece.empty()) return;
    v.Log.All += piece;
    v.Front.RenderLogAppend(piece);
}

}  // namespace

void AppendLog(View& v, TextView text) {
    LogContent& log = v.Log;
    // Line breaks go only between lines: an empty first line still counts as a line, so the
    // next append starts on the second one. Board output that ended its line leaves a line
    // open for this one.
    bool onOpenLine = log.StreamLast && AtLineStart(log);
    Text piece = log.Lines > 0 && !onOpenLine ? Text(u"\r\n") : Text();
    piece += text;
    log.All += piece;
    if (!onOpenLine) ++log.Lines;
    log.StreamLast = false;
    v.Front.RenderLogAppend(piece);
}

void AppendLogStream(View& v, TextView text) {
    LogContent& log = v.Log;
    Text piece;
    if (!log.StreamLast) {
        if (log.Lines > 0) piece = u"\r\n";
        ++log.Lines;
        log.StreamLast = true;
    }
    for (char16_t c : text) {
        if (c == u'\r') continue;
        if (c == u'\n') {
            piece += u"\r\n";
            ++log.Lines;
        } else if (c != u'\b') {
            piece += c;
        } else if (!piece.empty() && piece.back() != u'\n') {
            piece.pop_back();
        } else if (piece.empty() && !log.All.empty() && !AtLineStart(log)) {
            log.All.pop_back();
            v.Front.RenderLogEraseEnd(1);
        }
    }
    Add(v, piece);
}

void KeepLastLogLines(View& v, int lines) {
    LogContent& log = v.Log;
    // Dropped a hundredth at a time: one cut per couple of hundred lines rather than one per
    // line, and each cut small enough not to hold the window up (a tenth, 2000 lines of a
    // full pane, stalled the Linux window for 70 ms).
    if (lines <= 0 || log.Lines <= lines) return;
    int drop = log.Lines - lines + lines / 100;
    size_t at = 0;
    for (int n = 0; n < drop && at != Text::npos; ++n) {
        at = log.All.find(u'\n', at);
        if (at != Text::npos) ++at;
    }
    if (at == Text::npos) return;
    log.All.erase(0, at);
    log.Lines -= drop;
    v.Front.RenderLogDropFirstLines(drop);
}

void ClearLog(View& v) {
    v.Log = LogContent();
    v.Front.RenderLogClear();
}

void ShowLogEnd(View& v) {
    v.Front.RenderShowLogEnd();
}

const Text& LogText(const View& v) {
    return v.Log.All;
}

bool WriteReportFile(TextView path, TextView text) {
    return WriteWholeFile(path, AnsiFromText(text));
}

void SaveReport(View& v) {
    Text path =
        v.Front.AskSaveFileName(u"Save report", u"Text (*.txt)|*.txt|All files (*.*)|*.*", u"");
    Text text = v.Front.LogPaneText();
    if (path.empty()) return;
    // The pane stays as it is; a report that could not be written is not passed over in
    // silence, or the user would take it for saved.
    if (!WriteReportFile(path, text))
        v.Front.ShowMessageBox(u"Save report", u"File write failed!!\r\n" + path);
}
