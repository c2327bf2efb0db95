#include "frontends/qt/window_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTimer>

#include "app/commands.h"
#include "app/console.h"
#include "app/profiles.h"
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
    MainWindow() {
        setAcceptDrops(true);
        // The console looks at the port between events; while a job pumps the window it
        // leaves the port to the job.
        // When the console takes hold of the port, the log pane takes the keyboard, so
        // that what the user types next goes to the board rather than into a box.
        QObject::connect(&consoleTimer, &QTimer::timeout, this, [this] {
            if (Draining()) return;
            console.Poll();
            bool listening = console.TakesKeys();
            if (listening && !consoleListened && QtLogPane()) QtLogPane()->setFocus();
            consoleListened = listening;
        });
        consoleTimer.start(kConsolePollMs);
    }

    WindowConsole console;

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
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls()) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        }
    }
    void dropEvent(QDropEvent* event) override { TakeDrop(event, false); }

private:
    static constexpr int kConsolePollMs = 10;
    QTimer consoleTimer;
    bool consoleListened = false;
};

MainWindow* window = nullptr;
QPlainTextEdit* logPane = nullptr;
QComboBox *portBox, *baudBox, *deviceBox, *collectionBox;
QLineEdit* entry;
QLabel* progress;
QPushButton *programButton, *secondProgramButton, *cancelButton, *saveButton;
QCheckBox* stayConnected;

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
    for (size_t i = 0; i < model.Items.size(); ++i)
        w->addItem(Q(BoxLabel(model, i)));
    w->setCurrentIndex(model.Selected);
    // The open list is as wide as its longest item, so that a long port path can be read in
    // full there.
    QAbstractItemView* list = w->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 8);
    w->updateGeometry();
}

// A drop-down list as wide as its widest sample text, and, where `fitItems`, its widest
// item (the fixed lists of baud rates and device types, the port labels). A current text
// wider than the box is shortened with an ellipsis: in its middle for the port box (a
// port's name comes first and its serial number or the end of its path last, and those tell
// one port from another), at its end for the others.
class FittedBox : public QComboBox {
public:
    FittedBox(QWidget* parent, QStringList samples, bool fitItems, Qt::TextElideMode elide)
        : QComboBox(parent), samples_(std::move(samples)), fitItems_(fitItems), elide_(elide) {}

    QSize sizeHint() const override {
        int text = 0;
        for (const QString& s : samples_)
            text = std::max(text, fontMetrics().horizontalAdvance(s));
        for (int i = 0; fitItems_ && i < count(); ++i)
            text = std::max(text, fontMetrics().horizontalAdvance(itemText(i)));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        QSize content(text, fontMetrics().height());
        return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        QString text = option.currentText;
        QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                              QStyle::SC_ComboBoxEditField, this);
        // The style draws the label a pixel inside the field on either side.
        option.currentText = fontMetrics().elidedText(text, elide_, field.width() - 2);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    QStringList samples_;
    bool fitItems_;
    Qt::TextElideMode elide_;
};

QComboBox* MakeBox(ControlId id, const char* tooltip, void (*command)(), QStringList samples,
                   bool fitItems) {
    auto* box = new FittedBox(window, std::move(samples), fitItems,
                              id == ControlId::PortBox ? Qt::ElideMiddle : Qt::ElideRight);
    box->setToolTip(tooltip);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(box, &QComboBox::activated, box, [id, command](int index) {
        BoxOf(id).Selected = index;
        command();
    });
    return box;
}

QPushButton* MakeButton(const char* text, const char* name, const char* tooltip) {
    auto* button = new QPushButton(text, window);
    button->setObjectName(name);
    if (tooltip) button->setToolTip(tooltip);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

// The two rows of controls across the top, as the Windows window has them, and the log
// pane filling the rest; every size comes from the font and the style, so that no control
// clips its text at any display scale. The window cannot be made smaller than that.
void LayOut() {
    auto* grid = new QGridLayout(window);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setSpacing(10);
    grid->addWidget(portBox, 0, 0);
    grid->addWidget(baudBox, 0, 1);
    grid->addWidget(deviceBox, 0, 2);
    grid->addWidget(collectionBox, 0, 3);
    // The progress and the job's buttons share the place after the boxes; the buttons show
    // one at a time.
    auto* job = new QHBoxLayout;
    job->setSpacing(10);
    job->addWidget(progress);
    job->addWidget(programButton);
    job->addWidget(secondProgramButton);
    job->addWidget(cancelButton);
    job->addStretch(1);
    grid->addLayout(job, 0, 4);
    // The console's switch sits in the second row under "My collection", next to the pane
    // it turns into the board's console, where it takes no width of its own.
    grid->addWidget(entry, 1, 0, 1, 3);
    grid->addWidget(stayConnected, 1, 3, Qt::AlignLeft);
    grid->addWidget(saveButton, 1, 4, Qt::AlignLeft);
    grid->addWidget(logPane, 2, 0, 1, 6);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(2, 1);
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

WindowConsole& QtConsole() {
    return window->console;
}

QWidget* CancelWidget() {
    return cancelButton;
}

QWidget* BuildQtWindow(const Text& settingsPath, const std::string& devFolder,
                       const std::string& mountTable) {
    savePath = settingsPath;
    FilterInputDuringJobs();
    window = new MainWindow;
    window->setWindowTitle(Q(App.WindowTitle));
    window->setWindowIcon(QIcon::fromTheme("qz-uploader"));

    QStringList bauds, devices;
    for (const Text& t : kBaudItems)
        bauds << Q(t);
    for (const Text& t : DeviceTypeItems())
        devices << Q(t);
    // The port box fits its ports' labels up to about 48 characters.
    portBox = MakeBox(ControlId::PortBox, "Serial port", OnPortBoxChosen,
                      {"/dev/ttyACM0", "/dev/ttyUSB10", "COM12"}, true);
    portBox->setMaximumWidth(portBox->fontMetrics().horizontalAdvance(QString(48, 'x')));
    baudBox = MakeBox(ControlId::BaudBox, "Serial baud rate", OnBaudBoxChosen, bauds, true);
    deviceBox = MakeBox(ControlId::DeviceBox, "Connected device", OnDeviceBoxChosen, devices, true);
    // The collection's names are the user's: the box fits them up to about 24 characters.
    collectionBox = MakeBox(ControlId::CollectionBox, "My collection", OnCollectionBoxChosen,
                            {"Manual entry"}, true);
    collectionBox->setMaximumWidth(
        collectionBox->fontMetrics().horizontalAdvance(QString(24, 'x')));
    portBox->setObjectName("portBox");
    baudBox->setObjectName("baudBox");
    deviceBox->setObjectName("deviceBox");
    collectionBox->setObjectName("collectionBox");

    // Wide enough for the progress of a long job, so that the row does not move as it counts.
    progress = new QLabel(window);
    progress->setObjectName("progress");
    progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance("99999/99999"));

    programButton = MakeButton("Program", "program", "Load program");
    secondProgramButton = MakeButton("Program", "secondProgram", nullptr);
    cancelButton = MakeButton("Cancel", "cancel", nullptr);
    saveButton = MakeButton("Save settings", "saveSettings", nullptr);
    QObject::connect(programButton, &QPushButton::clicked, window,
                     [] { QtConsole().RunJob(OnProgramButton); });
    QObject::connect(secondProgramButton, &QPushButton::clicked, window,
                     [] { QtConsole().RunJob(OnSecondProgramButton); });
    QObject::connect(cancelButton, &QPushButton::clicked, window, [] { NoteCancelPressed(); });
    QObject::connect(saveButton, &QPushButton::clicked, window, [] {
        Window.CollectionEntry = T(entry->text());
        AddCollectionEntry();
    });

    entry = new QLineEdit(window);
    entry->setObjectName("entry");
    entry->setMinimumWidth(entry->fontMetrics().horizontalAdvance(QString(30, 'x')));
    QObject::connect(entry, &QLineEdit::textEdited, window,
                     [](const QString& text) { Window.CollectionEntry = T(text); });

    stayConnected = new QCheckBox(Q(kStayConnectedCaption), window);
    stayConnected->setObjectName("stayConnected");
    stayConnected->setToolTip(
        "Keep the port open after a job: the log shows what the board "
        "prints, and keys typed there go to the board");
    stayConnected->setChecked(App.StayConnected != 0);
    QObject::connect(stayConnected, &QCheckBox::toggled, window, [](bool on) {
        QtConsole().SetOn(on);
        if (on) QtLogPane()->setFocus();
    });

    logPane = CreateLogPane(window);
    LayOut();

    for (ControlId id :
         {ControlId::PortBox, ControlId::BaudBox, ControlId::DeviceBox, ControlId::CollectionBox,
          ControlId::CollectionEntry, ControlId::ProgressLabel, ControlId::ProgramButton,
          ControlId::SecondProgramButton, ControlId::CancelButton})
        RenderControl(id);

    // The stored inner size, but never smaller than the controls need.
    window->move(App.MainX, App.MainY);
    window->resize(window->minimumSizeHint().expandedTo(QSize(App.MainW, App.MainH)));
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
