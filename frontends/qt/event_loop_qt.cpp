// The event pump that long work runs between exchanges with the board: it lets the window
// repaint and timers run, but holds back every user input except what goes to "Cancel".
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "frontends/qt/main_window_qt.h"
#include "ui/window.h"

namespace {

// True while the core pumps the window during a job (DrainWindowEvents).
bool draining = false;
bool cancelPressed = false;

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

// While the core pumps the window, what the user does reaches nothing but "Cancel": typing
// into the log pane, turning a box, dropping, the popup menu and the close request are
// consumed before any widget sees them. Repaints and timers go on.
class InputDuringJob : public QObject {
public:
    bool eventFilter(QObject* target, QEvent* event) override {
        // Input reaches the top-level window first, which hands it on to the widget it is
        // meant for; only there can "Cancel" be told from the rest.
        if (!draining || !target->isWidgetType()) return false;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (!IsUserInput(event->type())) return false;
        return target != CancelWidget();
    }
};

}  // namespace

void FilterInputDuringJobs() {
    static QObject* inputFilter = nullptr;
    if (inputFilter) return;
    inputFilter = new InputDuringJob;
    inputFilter->setParent(qApp);
    qApp->installEventFilter(inputFilter);
}

bool Draining() {
    return draining;
}

bool SetDraining(bool on) {
    bool was = draining;
    draining = on;
    return was;
}

void NoteCancelPressed() {
    cancelPressed = true;
}

bool DrainWindowEvents() {
    bool wasDraining = SetDraining(true);
    cancelPressed = false;
    QCoreApplication::processEvents();
    SetDraining(wasDraining);
    bool cancel = cancelPressed;
    cancelPressed = false;
    return cancel;
}
