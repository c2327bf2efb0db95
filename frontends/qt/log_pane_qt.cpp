// The log pane: a plain-text view in the system's fixed font at 8 points, without wrap,
// with its popup menu ("Paste code", "Select All", "Copy", "Save As...") and drops. While
// the console holds the port, the keys typed here go to the board instead of into the pane.
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>
#include <optional>
#include <utility>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "ui/captions.h"
#include "ui/log.h"

namespace {

class LogPane : public QPlainTextEdit {
public:
    explicit LogPane(QtWindow& window) : QPlainTextEdit(&window), window_(window) {}

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu menu(this);
        QAction* paste = menu.addAction(Q(kMenuPasteCode));
        QAction* all = menu.addAction(Q(kMenuSelectAll));
        QAction* copyAction = menu.addAction(Q(kMenuCopy));
        QAction* save = menu.addAction(Q(kMenuSaveAs));
        QAction* chosen = menu.exec(event->globalPos());
        QtWindow& w = window_;
        if (chosen == paste)
            w.RunJob([&w] { OnPasteCode(w.S); });
        else if (chosen == all)
            selectAll();
        else if (chosen == copyAction)
            copy();
        else if (chosen == save)
            OnSaveReport(w.S);
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
    void dropEvent(QDropEvent* event) override { TakeDrop(window_, event, true); }
    void keyPressEvent(QKeyEvent* event) override {
        WindowConsole& console = window_.Console;
        if (!console.TakesKeys()) return QPlainTextEdit::keyPressEvent(event);
        event->accept();
        if (event->matches(QKeySequence::Paste) ||
            (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier))
            return console.Paste(window_.Front.ClipboardText());
        if (std::optional<ConsoleKey> key = KeyWithoutCharacter(event->key()))
            return console.TypeKey(*key);
        console.TypeText(T(CharactersOf(event)));
    }
    void inputMethodEvent(QInputMethodEvent* event) override {
        WindowConsole& console = window_.Console;
        if (!console.TakesKeys()) return QPlainTextEdit::inputMethodEvent(event);
        event->accept();
        console.TypeText(T(event->commitString()));
    }
    // A middle-click paste of the selection goes to the board as a paste, not into the pane.
    void insertFromMimeData(const QMimeData* source) override {
        WindowConsole& console = window_.Console;
        if (!console.TakesKeys()) return QPlainTextEdit::insertFromMimeData(source);
        console.Paste(T(source->text()));
    }
    // Tab is a key for the board while the console listens, not a move to the next control.
    bool focusNextPrevChild(bool next) override {
        return window_.Console.TakesKeys() ? false : QPlainTextEdit::focusNextPrevChild(next);
    }

private:
    QtWindow& window_;

    static std::optional<ConsoleKey> KeyWithoutCharacter(int key) {
        static const std::pair<int, ConsoleKey> keys[] = {
            {Qt::Key_Up, ConsoleKey::Up},         {Qt::Key_Down, ConsoleKey::Down},
            {Qt::Key_Right, ConsoleKey::Right},   {Qt::Key_Left, ConsoleKey::Left},
            {Qt::Key_Home, ConsoleKey::Home},     {Qt::Key_Insert, ConsoleKey::Insert},
            {Qt::Key_Delete, ConsoleKey::Delete}, {Qt::Key_End, ConsoleKey::End},
            {Qt::Key_PageUp, ConsoleKey::PageUp}, {Qt::Key_PageDown, ConsoleKey::PageDown},
            {Qt::Key_F1, ConsoleKey::F1},         {Qt::Key_F2, ConsoleKey::F2},
            {Qt::Key_F3, ConsoleKey::F3},         {Qt::Key_F4, ConsoleKey::F4},
            {Qt::Key_F5, ConsoleKey::F5},         {Qt::Key_F6, ConsoleKey::F6},
            {Qt::Key_F7, ConsoleKey::F7},         {Qt::Key_F8, ConsoleKey::F8},
            {Qt::Key_F9, ConsoleKey::F9},         {Qt::Key_F10, ConsoleKey::F10},
            {Qt::Key_F11, ConsoleKey::F11},       {Qt::Key_F12, ConsoleKey::F12},
        };
        for (const auto& [qt, console] : keys)
            if (qt == key) return console;
        return std::nullopt;
    }
    // What a key types for the board: Enter is CR, Backspace 0x08, Ctrl with a letter or
    // one of @[\]^_ the control character (Ctrl-C is 0x03); otherwise the key's own text.
    static QString CharactersOf(const QKeyEvent* event) {
        int key = event->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return QStringLiteral("\r");
        if (key == Qt::Key_Backspace) return QStringLiteral("\b");
        if (key == Qt::Key_Escape) return QStringLiteral("\x1b");
        if (key == Qt::Key_Tab) return QStringLiteral("\t");
        bool control = event->modifiers() & Qt::ControlModifier;
        if (control && key >= Qt::Key_At && key <= Qt::Key_Underscore)
            return QString(QChar(key - Qt::Key_At));
        return event->text();
    }
};

}  // namespace

QPlainTextEdit* CreateLogPane(QtWindow& window) {
    auto* pane = new LogPane(window);
    pane->setObjectName("log");
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(8);
    pane->setFont(mono);
    pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setMaximumBlockCount(0);
    pane->setAcceptDrops(true);
    pane->setPlaceholderText(Q(kEmptyLogHint));
    return pane;
}

void QtFrontend::RenderLogAppend(TextView piece) {
    QPlainTextEdit* pane = LogPane();
    if (!pane) return;
    Text t(piece);
    for (size_t at = t.find(u"\r\n"); at != Text::npos; at = t.find(u"\r\n", at))
        t.replace(at, 2, u"\n");
    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(Q(t));
}

void QtFrontend::RenderLogClear() {
    if (QPlainTextEdit* pane = LogPane()) pane->clear();
}

void QtFrontend::RenderLogEraseEnd(int count) {
    QPlainTextEdit* pane = LogPane();
    if (!pane) return;
    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor,
                        std::min(count, cursor.positionInBlock()));
    cursor.removeSelectedText();
}

void QtFrontend::RenderLogDropFirstLines(int lines) {
    QPlainTextEdit* pane = LogPane();
    if (!pane) return;
    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::Start);
    if (!cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, lines))
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void QtFrontend::RenderShowLogEnd() {
    QPlainTextEdit* pane = LogPane();
    if (!pane) return;
    QTextCursor cursor = pane->textCursor();
    cursor.movePosition(QTextCursor::End);
    pane->setTextCursor(cursor);
    pane->ensureCursorVisible();
}

Text QtFrontend::LogPaneText() {
    QPlainTextEdit* pane = LogPane();
    if (!pane) return Text();
    Text t = T(pane->toPlainText());
    for (size_t at = t.find(u'\n'); at != Text::npos; at = t.find(u'\n', at + 2))
        t.replace(at, 1, u"\r\n");
    return t;
}
