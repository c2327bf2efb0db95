// Drops on the window and the log pane.
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/commands.h"
#include "frontends/qt/main_window_qt.h"

namespace {

// Paths of dropped files, one a line.
Text DroppedPaths(const QMimeData* data) {
    Text paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        if (!paths.empty()) paths += u"\n";
        paths += T(url.toLocalFile());
    }
    return paths;
}

}  // namespace

void TakeDrop(QDropEvent* event, bool textToo) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Text files = DroppedPaths(event->mimeData());
    if (!files.empty())
        OnFilesDropped(files);
    else if (textToo && event->mimeData()->hasText())
        OnTextDropped(T(event->mimeData()->text()));
}
