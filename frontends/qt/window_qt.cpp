#include "frontends/qt/window_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

#include "app/commands.h"
#include "app/startup.h"
#include "app/state.h"
#include "settings/hotplug_linux.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace {

QString Q(TextView t) {
    return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

Text T(const QString& s) {
    return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

// True while the core pumps the window during a job (DrainWindowEvents).
bool draining = false;
bool cancelPressed = false;
Text savePath;

QWidget* CancelWidget();

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

// A drop on the window or the log pane, always taken as a copy: files go to the file-drop
// action, and text too where `textToo` (the log pane) when no file came with it.
void TakeDrop(QDropEvent* event, bool textToo) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Text files = DroppedPaths(event->mimeData());
    if (!files.empty())
        OnFilesDropped(files);
    else if (textToo && event->mimeData()->hasText())
        OnTextDropped(T(event->mimeData()->text()));
}

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

class MainWindow : public QWidget {
public:
    MainWindow() { setAcceptDrops(true); }

protected:
    void closeEvent(QCloseEvent* event) override {
        // A close request while a job runs (or while its PIN dialog is open) is refused.
        if (CommandRunning()) {
            event->ignore();
            return;
        }
        event->accept();
        CloseHotplugWatches();
        FinishAfterClose(savePath);
        QCoreApplication::quit();
    }
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls()) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        }
    }
    void dropEvent(QDropEvent* event) override { TakeDrop(event, false); }
};

MainWindow* window = nullptr;
LogPane* logPane = nullptr;
QComboBox *portBox, *baudBox, *deviceBox, *collectionBox;
QLineEdit* entry;
QLabel* progress;
QPushButton *programButton, *secondProgramButton, *cancelButton, *saveButton;

QWidget* CancelWidget() {
    return cancelButton;
}

// Puts a control at its place; a box or field taller than 20 pixels by nature keeps its
// own height so that its text is not clipped.
void Place(QWidget* w, Placement p) {
    int height = std::max(p.Height, w->sizeHint().height());
    w->setGeometry(p.Left, p.Top, p.Width, height);
}

void PlaceLog(int width, int height) {
    Placement p = LogPanePlacement(width, height);
    // Natural heights push the second row down; the logPane starts below it.
    int top = std::max(p.Top, entry->geometry().bottom() + 6);
    logPane->setGeometry(p.Left, top, std::max(p.Width, 0), std::max(p.Height - (top - p.Top), 0));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (logPane) PlaceLog(event->size().width(), event->size().height());
}

QComboBox* BoxWidget(ControlId id) {
    switch (id) {
        case ControlId::PortBox:
            return portBox;
        case ControlId::BaudBox:
            return baudBox;
        case ControlId::DeviceBox:
            return deviceBox;
        default:
            return collectionBox;
    }
}

void RenderBox(ControlId id) {
    QComboBox* w = BoxWidget(id);
    const ComboBox& model = BoxOf(id);
    QSignalBlocker block(w);
    w->clear();
    for (const Text& item : model.Items)
        w->addItem(Q(item));
    w->setCurrentIndex(model.Selected);
    // The boxes keep their narrow places; the open list is as wide as its longest item, so
    // that a port's path or a baud rate can be read in full there.
    QAbstractItemView* list = w->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 8);
}

// The drop-down lists sit in narrow places. The current text is drawn over the whole field
// up to the arrow, and where it still does not fit it is shortened with an ellipsis: at its
// start for the port box (every serial port on Linux starts with "/dev/tty", so the end
// tells one from another), at its end for the others.
class NarrowBox : public QComboBox {
public:
    NarrowBox(QWidget* parent, Qt::TextElideMode elide) : QComboBox(parent), elide_(elide) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        QString text = option.currentText;
        option.currentText.clear();
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                              QStyle::SC_ComboBoxEditField, this);
        QRect arrow =
            style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
        // The arrow's area is wider than its glyph: the text may run up to the glyph.
        field.setLeft(option.rect.left() + 4);
        field.setRight(arrow.center().x() - 5);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(field, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text, elide_, field.width()));
    }

private:
    Qt::TextElideMode elide_;
};

QComboBox* MakeBox(ControlId id, const char* tooltip, void (*command)()) {
    auto* box = new NarrowBox(window, id == ControlId::PortBox ? Qt::ElideLeft : Qt::ElideRight);
    box->setToolTip(tooltip);
    Place(box, PlaceOf(id));
    QObject::connect(box, &QComboBox::activated, box, [id, command](int index) {
        BoxOf(id).Selected = index;
        command();
    });
    return box;
}

QPushButton* MakeButton(const char* text, Placement p, const char* tooltip) {
    auto* button = new QPushButton(text, window);
    if (tooltip) button->setToolTip(tooltip);
    Place(button, p);
    return button;
}

// Device notices are handled when no job pumps the window: a notice may rebuild the port
// box or open the "OOPS!" box, neither of which belongs in the middle of an upload. The
// descriptors stay ready until they are read, so a notice held back is handled as soon as
// the job ends.
void WatchDevices(const std::string& devFolder, const std::string& mountTable) {
    int ports = OpenPortWatch(devFolder);
    if (ports >= 0) {
        auto* n = new QSocketNotifier(ports, QSocketNotifier::Read, window);
        QObject::connect(n, &QSocketNotifier::activated, window, [] {
            if (!draining) HandlePortWatch();
        });
    }
    int volumes = OpenVolumeWatch(mountTable);
    if (volumes >= 0) {
        auto* n = new QSocketNotifier(volumes, QSocketNotifier::Exception, window);
        QObject::connect(n, &QSocketNotifier::activated, window, [] {
            if (!draining) HandleVolumeWatch();
        });
    }
}

}  // namespace

QWidget* BuildQtWindow(const Text& settingsPath, const std::string& devFolder,
                       const std::string& mountTable) {
    savePath = settingsPath;
    static QObject* inputFilter = nullptr;
    if (!inputFilter) {
        inputFilter = new InputDuringJob;
        inputFilter->setParent(qApp);
        qApp->installEventFilter(inputFilter);
    }
    window = new MainWindow;
    // The controls' places are sized for a small dialog font; at 8 points a baud rate or a
    // device type fits its box.
    QFont controlsFont = window->font();
    controlsFont.setPointSize(8);
    window->setFont(controlsFont);
    window->setWindowTitle(Q(App.WindowTitle));

    portBox = MakeBox(ControlId::PortBox, "Serial port", OnPortBoxChosen);
    baudBox = MakeBox(ControlId::BaudBox, "Serial baud rate", OnBaudBoxChosen);
    deviceBox = MakeBox(ControlId::DeviceBox, "Connected device", OnDeviceBoxChosen);
    collectionBox = MakeBox(ControlId::CollectionBox, "My collection", OnCollectionBoxChosen);
    portBox->setObjectName("portBox");
    baudBox->setObjectName("baudBox");
    deviceBox->setObjectName("deviceBox");
    collectionBox->setObjectName("collectionBox");

    progress = new QLabel(window);
    progress->setObjectName("progress");
    Place(progress, PlaceOf(ControlId::ProgressLabel));

    programButton = MakeButton("Program", PlaceOf(ControlId::ProgramButton), "Load program");
    programButton->setObjectName("program");
    secondProgramButton = MakeButton("Program", PlaceOf(ControlId::SecondProgramButton), nullptr);
    secondProgramButton->setObjectName("secondProgram");
    cancelButton = MakeButton("Cancel", PlaceOf(ControlId::CancelButton), nullptr);
    cancelButton->setObjectName("cancel");
    saveButton = MakeButton("Save settings", {420, 40, 100, 20}, nullptr);
    saveButton->setObjectName("saveSettings");
    QObject::connect(programButton, &QPushButton::clicked, window, [] { OnProgramButton(); });
    QObject::connect(secondProgramButton, &QPushButton::clicked, window,
                     [] { OnSecondProgramButton(); });
    QObject::connect(cancelButton, &QPushButton::clicked, window, [] { cancelPressed = true; });
    QObject::connect(saveButton, &QPushButton::clicked, window, [] {
        Window.CollectionEntry = T(entry->text());
        AddCollectionEntry();
    });

    entry = new QLineEdit(window);
    entry->setObjectName("entry");
    Place(entry, PlaceOf(ControlId::CollectionEntry));
    QObject::connect(entry, &QLineEdit::textEdited, window,
                     [](const QString& text) { Window.CollectionEntry = T(text); });

    logPane = new LogPane(window);
    logPane->setObjectName("log");
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(8);
    logPane->setFont(mono);
    logPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    logPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logPane->setMaximumBlockCount(0);
    logPane->setAcceptDrops(true);

    for (ControlId id :
         {ControlId::PortBox, ControlId::BaudBox, ControlId::DeviceBox, ControlId::CollectionBox,
          ControlId::CollectionEntry, ControlId::ProgressLabel, ControlId::ProgramButton,
          ControlId::SecondProgramButton, ControlId::CancelButton})
        RenderControl(id);

    window->move(App.MainX, App.MainY);
    window->resize(App.MainW, App.MainH);
    PlaceLog(App.MainW, App.MainH);
    window->show();
    WatchDevices(devFolder, mountTable);
    return window;
}

QWidget* QtMainWindow() {
    return window;
}

QPlainTextEdit* QtLogPane() {
    return logPane;
}

void DestroyQtWindow() {
    CloseHotplugWatches();
    delete window;
    window = nullptr;
    logPane = nullptr;
}

void RenderControl(ControlId id) {
    if (!window) return;
    switch (id) {
        case ControlId::PortBox:
        case ControlId::BaudBox:
        case ControlId::DeviceBox:
        case ControlId::CollectionBox:
            RenderBox(id);
            break;
        case ControlId::CollectionEntry:
            entry->setText(Q(Window.CollectionEntry));
            break;
        case ControlId::ProgressLabel:
            progress->setText(Q(Window.ProgressLabel));
            break;
        case ControlId::ProgramButton:
            programButton->setVisible(Window.ProgramShown);
            break;
        case ControlId::SecondProgramButton:
            secondProgramButton->setVisible(Window.SecondProgramShown);
            break;
        case ControlId::CancelButton:
            cancelButton->setVisible(Window.CancelShown);
            break;
    }
}

void RenderLogAppend(TextView piece) {
    if (!logPane) return;
    Text t(piece);
    for (size_t at = t.find(u"\r\n"); at != Text::npos; at = t.find(u"\r\n", at))
        t.replace(at, 2, u"\n");
    QTextCursor cursor(logPane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(Q(t));
}

void RenderLogClear() {
    if (logPane) logPane->clear();
}

void RenderShowLogEnd() {
    if (!logPane) return;
    QTextCursor cursor = logPane->textCursor();
    cursor.movePosition(QTextCursor::End);
    logPane->setTextCursor(cursor);
    logPane->ensureCursorVisible();
}

Text LogPaneText() {
    if (!logPane) return Text();
    Text t = T(logPane->toPlainText());
    for (size_t at = t.find(u'\n'); at != Text::npos; at = t.find(u'\n', at + 2))
        t.replace(at, 1, u"\r\n");
    return t;
}

bool DrainWindowEvents() {
    bool wasDraining = draining;
    draining = true;
    cancelPressed = false;
    QCoreApplication::processEvents();
    draining = wasDraining;
    bool cancel = cancelPressed;
    cancelPressed = false;
    return cancel;
}

Text AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) {
    QDialog dialog(window);
    dialog.setWindowTitle(Q(title));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Q(prompt), &dialog));
    auto* field = new QLineEdit(Q(defaultText), &dialog);
    field->setObjectName("input");
    if (secret) field->setEchoMode(QLineEdit::Password);
    layout->addWidget(field);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    bool wasDraining = draining;
    draining = false;
    dialog.exec();
    draining = wasDraining;
    // Closing the dialog gives what was typed so far, as OK does.
    return T(field->text());
}

Text AskSaveFileName(TextView title, TextView filter, TextView folder) {
    // "display|pattern|display|pattern" becomes Qt's "display (pattern);;display (pattern)".
    QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    QString selected = filters.isEmpty() ? QString() : filters.first();
    QString path = QFileDialog::getSaveFileName(window, Q(title), Q(folder), filters.join(";;"),
                                                &selected, QFileDialog::DontUseNativeDialog);
    return T(path);
}

void ShowMessageBox(TextView caption, TextView text) {
    QMessageBox::information(window, Q(caption), Q(text), QMessageBox::Ok);
}

Text ClipboardText() {
    return T(QGuiApplication::clipboard()->text());
}

Placement CurrentWindowGeometry() {
    if (!window) return {App.MainX, App.MainY, App.MainW, App.MainH};
    QPoint frame = window->pos();
    return {frame.x(), frame.y(), window->width(), window->height()};
}
