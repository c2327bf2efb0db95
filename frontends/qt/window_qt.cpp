#include "frontends/qt/window_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSocketNotifier>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "app/commands.h"
#include "app/startup.h"
#include "app/state.h"
#include "frontends/qt/main_window_qt.h"
#include "settings/hotplug_linux.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace {

// Where the settings are saved when the window is closed (empty: the usual place).
Text savePath;

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
QPlainTextEdit* logPane = nullptr;
QComboBox *portBox, *baudBox, *deviceBox, *collectionBox;
QLineEdit* entry;
QLabel* progress;
QPushButton *programButton, *secondProgramButton, *cancelButton, *saveButton;

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
            if (!Draining()) HandlePortWatch();
        });
    }
    int volumes = OpenVolumeWatch(mountTable);
    if (volumes >= 0) {
        auto* n = new QSocketNotifier(volumes, QSocketNotifier::Exception, window);
        QObject::connect(n, &QSocketNotifier::activated, window, [] {
            if (!Draining()) HandleVolumeWatch();
        });
    }
}

}  // namespace

QWidget* CancelWidget() {
    return cancelButton;
}

QWidget* BuildQtWindow(const Text& settingsPath, const std::string& devFolder,
                       const std::string& mountTable) {
    savePath = settingsPath;
    FilterInputDuringJobs();
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
    QObject::connect(cancelButton, &QPushButton::clicked, window, [] { NoteCancelPressed(); });
    QObject::connect(saveButton, &QPushButton::clicked, window, [] {
        Window.CollectionEntry = T(entry->text());
        AddCollectionEntry();
    });

    entry = new QLineEdit(window);
    entry->setObjectName("entry");
    Place(entry, PlaceOf(ControlId::CollectionEntry));
    QObject::connect(entry, &QLineEdit::textEdited, window,
                     [](const QString& text) { Window.CollectionEntry = T(text); });

    logPane = CreateLogPane(window);

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

Placement CurrentWindowGeometry() {
    if (!window) return {App.MainX, App.MainY, App.MainW, App.MainH};
    QPoint frame = window->pos();
    return {frame.x(), frame.y(), window->width(), window->height()};
}
