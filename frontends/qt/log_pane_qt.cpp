// The log pane: a plain-text view in the system's fixed font at 8 points, without wrap,
// with its popup menu ("Paste code", "Select All", "Copy", "Save As...") and drops.
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/commands.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "ui/window.h"

namespace {

class LogPane : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu menu(this);
        QAction* paste = menu.addAction("Paste code");
        QAction* all = menu.addAction("Select All");
        QAction* copyAction = menu.addAction("Copy");
        QAction* save = menu.addAction("Save As...");
        QAction* chosen = menu.exec(event->globalPos());
        if (chosen == paste)
            OnPasteCode();
        else if (chosen == all)
            selectAll();
        else if (chosen == copyAction)
            copy();
        else if (chosen == save)
            OnSaveReport();
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        }
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    void dropEvent(QDropEvent* event) override { TakeDrop(event, true); }
};

}  // namespace

QPlainTextEdit* CreateLogPane(QWidget* parent) {
    auto* pane = new LogPane(parent);
    pane->setObjectName("log");
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(8);
    pane->setFont(mono);
    pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setMaximumBlockCount(0);
    pane->setAcceptDrops(true);
    return pane;
}

void RenderLogAppend(TextView piece) {
    QPlainTextEdit* pane = QtLogPane();
    if (!pane) return;
    Text t(piece);
    for (size_t at = t.find(u"\r\n"); at != Text::npos; at = t.find(u"\r\n", at))
        t.replace(at, 2, u"\n");
    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(Q(t));
}

void RenderLogClear() {
    if (QPlainTextEdit* pane = QtLogPane()) pane->clear();
}

void RenderShowLogEnd() {
    QPlainTextEdit* pane = QtLogPane();
    if (!pane) return;
    QTextCursor cursor = pane->textCursor();
    cursor.movePosition(QTextCursor::End);
    pane->setTextCursor(cursor);
    pane->ensureCursorVisible();
}

Text LogPaneText() {
    QPlainTextEdit* pane = QtLogPane();
    if (!pane) return Text();
    Text t = T(pane->toPlainText());
    for (size_t at = t.find(u'\n'); at != Text::npos; at = t.find(u'\n', at + 2))
        t.replace(at, 1, u"\r\n");
    return t;
}
