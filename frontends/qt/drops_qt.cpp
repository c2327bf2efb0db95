// Drops on the window and the log pane. The drop handler only takes what was dropped and
// accepts: the program the drag came from (a file manager) waits until the drop returns,
// and an upload lasts minutes. The job starts from the event loop right after.
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
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

void TakeDrop(QtWindow& window, QDropEvent* event, bool textToo) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Text files = DroppedPaths(event->mimeData());
    bool isText = files.empty() && textToo && event->mimeData()->hasText();
    if (files.empty() && !isText) return;
    Text text = isText ? T(event->mimeData()->text()) : Text();
    QtWindow* w = &window;
    QMetaObject::invokeMethod(
        w,
        [w, files, text, isText] {
            w->RunJob([&] {
                if (isText)
                    OnTextDropped(w->S, text);
                else
                    OnFilesDropped(w->S, files);
            });
        },
        Qt::QueuedConnection);
}
