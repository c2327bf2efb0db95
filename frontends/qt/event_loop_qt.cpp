// The event pump that long work runs between exchanges with the board: it lets the window
// repaint and timers run, but holds back every user input except what goes to "Cancel".
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"

namespace {

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
    explicit InputDuringJob(const QtFrontend& front) : front_(front) {}

    bool eventFilter(QObject* target, QEvent* event) override {
        // Input reaches the top-level window first, which hands it on to the widget it is
        // meant for; only there can "Cancel" be told from the rest.
        if (!front_.Draining() || !target->isWidgetType()) return false;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (!IsUserInput(event->type())) return false;
        return target != front_.CancelWidget();
    }

private:
    const QtFrontend& front_;
};

}  // namespace

// The filter that holds back user input while the core pumps the window is installed on
// the application as long as this front end lives (the application must exist first).
QObject* MakeInputFilter(const QtFrontend& front) {
    auto* filter = new InputDuringJob(front);
    qApp->installEventFilter(filter);
    return filter;
}

bool QtFrontend::SetDraining(bool on) {
    bool was = draining_;
    draining_ = on;
    return was;
}

bool QtFrontend::DrainWindowEvents() {
    bool wasDraining = SetDraining(true);
    cancelPressed_ = false;
    QCoreApplication::processEvents();
    SetDraining(wasDraining);
    bool cancel = cancelPressed_;
    cancelPressed_ = false;
    return cancel;
}
