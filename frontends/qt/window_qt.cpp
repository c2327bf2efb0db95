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

#include "app/commands.h"
#include "app/console.h"
#include "app/notices.h"
#include "app/profiles.h"
#include "app/session.h"
#include "app/startup.h"
#include "frontends/qt/main_window_qt.h"
#include "settings/settings.h"
#include "ui/captions.h"
#include "ui/controls.h"

namespace {

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

QComboBox* MakeBox(QtWindow& window, ControlId id, TextView tooltip, void (*command)(Session&),
                   QStringList samples, bool fitItems) {
    auto* box = new FittedBox(&window, std::move(samples), fitItems,
                              id == ControlId::PortBox ? Qt::ElideMiddle : Qt::ElideRight);
    box->setToolTip(Q(tooltip));
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Session& s = window.S;
    QObject::connect(box, &QComboBox::activated, box, [&s, id, command](int index) {
        BoxOf(s, id).Selected = index;
        command(s);
    });
    return box;
}

QPushButton* MakeButton(QWidget* window, TextView text, const char* name, TextView tooltip) {
    auto* button = new QPushButton(Q(text), window);
    button->setObjectName(name);
    if (!tooltip.empty()) button->setToolTip(Q(tooltip));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

void RenderBox(QComboBox* w, const ComboBox& model) {
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

// The two rows of controls across the top, as the Windows window has them, and the log
// pane filling the rest; every size comes from the font and the style, so that no control
// clips its text at any display scale. The window cannot be made smaller than that.
void LayOut(QtWindow& w) {
    auto* grid = new QGridLayout(&w);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setSpacing(10);
    grid->addWidget(w.PortBox, 0, 0);
    grid->addWidget(w.BaudBox, 0, 1);
    grid->addWidget(w.DeviceBox, 0, 2);
    grid->addWidget(w.CollectionBox, 0, 3);
    // The progress and the job's buttons share the place after the boxes; the buttons show
    // one at a time.
    auto* job = new QHBoxLayout;
    job->setSpacing(10);
    job->addWidget(w.Progress);
    job->addWidget(w.ProgramButton);
    job->addWidget(w.SecondProgramButton);
    job->addWidget(w.CancelButton);
    job->addStretch(1);
    grid->addLayout(job, 0, 4);
    // The console's switch sits in the second row under "My collection", next to the pane
    // it turns into the board's console, where it takes no width of its own.
    grid->addWidget(w.Entry, 1, 0, 1, 3);
    grid->addWidget(w.StayConnected, 1, 3, Qt::AlignLeft);
    grid->addWidget(w.SaveButton, 1, 4, Qt::AlignLeft);
    grid->addWidget(w.LogPane, 2, 0, 1, 6);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(2, 1);
}

}  // namespace

QtWindow::QtWindow(QtFrontend& front, Session& session, const Text& savePath)
    : Front(front), S(session), Console(session), SavePath(savePath) {
    setAcceptDrops(true);
    // The console looks at the port between events; while a job pumps the window it
    // leaves the port to the job.
    // When the console takes hold of the port, the log pane takes the keyboard, so
    // that what the user types next goes to the board rather than into a box.
    QObject::connect(&consoleTimer_, &QTimer::timeout, this, [this] {
        if (Front.Draining()) return;
        Console.Poll();
        bool listening = Console.TakesKeys();
        if (listening && !consoleListened_ && LogPane) LogPane->setFocus();
        consoleListened_ = listening;
    });
}

QtWindow::~QtWindow() {
    CloseWatches();
}

void QtWindow::UpdateConsoleTimer() {
    if (Console.On() && !consoleTimer_.isActive())
        consoleTimer_.start(kConsolePollMs);
    else if (!Console.On())
        consoleTimer_.stop();
}

void QtWindow::RunJob(const std::function<void()>& command) {
    Console.RunJob(command);
    UpdateConsoleTimer();
}

void QtWindow::closeEvent(QCloseEvent* event) {
    // A close request while a job runs (or while its PIN dialog is open) is refused.
    if (CommandRunning(S)) {
        event->ignore();
        return;
    }
    event->accept();
    CloseWatches();
    // A save that failed was logged; the user learns it before the window goes.
    if (Text failure = FinishAfterClose(S, SavePath); !failure.empty())
        Front.ShowMessageBox(S.App.WindowTitle, failure);
    QCoreApplication::quit();
}

void QtWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void QtWindow::dropEvent(QDropEvent* event) {
    TakeDrop(*this, event, false);
}

// Device notices are handled when no job pumps the window: a notice may rebuild the port
// box or open the "OOPS!" box, neither of which belongs in the middle of an upload. The
// descriptors stay ready until they are read, so a notice held back is handled as soon as
// the job ends.
void QtWindow::WatchDevices(const std::string& devFolder, const std::string& mountTable) {
    int ports = Watches.OpenPortWatch(devFolder);
    if (ports >= 0) {
        auto* n = new QSocketNotifier(ports, QSocketNotifier::Read, this);
        QObject::connect(n, &QSocketNotifier::activated, this, [this] {
            if (!Front.Draining()) PortsChanged();
        });
    }
    int volumes = Watches.OpenVolumeWatch(mountTable);
    if (volumes >= 0) {
        auto* n = new QSocketNotifier(volumes, QSocketNotifier::Exception, this);
        QObject::connect(n, &QSocketNotifier::activated, this, [this] {
            if (!Front.Draining()) VolumesChanged();
        });
    }
}

void QtWindow::PortsChanged() {
    for (const PortChange& c : Watches.HandlePortWatch())
        OnPortNotice(S, c.Name, c.Arrived);
}

void QtWindow::VolumesChanged() {
    for (const VolumeChange& c : Watches.HandleVolumeWatch())
        OnVolumeNotice(S, c.Label, c.Root, c.Arrived);
}

void QtWindow::CloseWatches() {
    Watches.Close();
}

QtFrontend::QtFrontend() : inputFilter_(MakeInputFilter(*this)) {}

QtFrontend::~QtFrontend() {
    Destroy();
    delete inputFilter_;
}

WindowConsole& QtFrontend::Console() const {
    return window_->Console;
}

QWidget* QtFrontend::CancelWidget() const {
    return window_ ? window_->CancelButton : nullptr;
}

QWidget* QtFrontend::Build(Session& session, const Text& settingsPath, const std::string& devFolder,
                           const std::string& mountTable) {
    session_ = &session;
    const AppState& app = session.App;
    auto* w = new QtWindow(*this, session, settingsPath);
    window_ = w;
    w->setWindowTitle(Q(app.WindowTitle));
    w->setWindowIcon(QIcon::fromTheme("qz-uploader"));

    QStringList bauds, devices;
    for (const Text& t : kBaudItems)
        bauds << Q(t);
    for (const Text& t : DeviceTypeItems())
        devices << Q(t);
    // The port box fits its ports' labels up to about 48 characters.
    w->PortBox = MakeBox(*w, ControlId::PortBox, kPortBoxTip, OnPortBoxChosen,
                         {"/dev/ttyACM0", "/dev/ttyUSB10", "COM12"}, true);
    w->PortBox->setMaximumWidth(w->PortBox->fontMetrics().horizontalAdvance(QString(48, 'x')));
    w->BaudBox = MakeBox(*w, ControlId::BaudBox, kBaudBoxTip, OnBaudBoxChosen, bauds, true);
    w->DeviceBox =
        MakeBox(*w, ControlId::DeviceBox, kDeviceBoxTip, OnDeviceBoxChosen, devices, true);
    // The collection's names are the user's: the box fits them up to about 24 characters.
    w->CollectionBox = MakeBox(*w, ControlId::CollectionBox, kCollectionBoxTip,
                               OnCollectionBoxChosen, {Q(kManualEntry)}, true);
    w->CollectionBox->setMaximumWidth(
        w->CollectionBox->fontMetrics().horizontalAdvance(QString(24, 'x')));
    w->PortBox->setObjectName("portBox");
    w->BaudBox->setObjectName("baudBox");
    w->DeviceBox->setObjectName("deviceBox");
    w->CollectionBox->setObjectName("collectionBox");

    // Wide enough for the progress of a long job, so that the row does not move as it counts.
    w->Progress = new QLabel(w);
    w->Progress->setObjectName("progress");
    w->Progress->setMinimumWidth(w->Progress->fontMetrics().horizontalAdvance("99999/99999"));

    w->ProgramButton = MakeButton(w, kProgramCaption, "program", kProgramTip);
    w->SecondProgramButton = MakeButton(w, kProgramCaption, "secondProgram", u"");
    w->CancelButton = MakeButton(w, kCancelCaption, "cancel", u"");
    w->SaveButton = MakeButton(w, kSaveSettingsCaption, "saveSettings", u"");
    QObject::connect(w->ProgramButton, &QPushButton::clicked, w,
                     [w] { w->RunJob([w] { OnProgramButton(w->S); }); });
    QObject::connect(w->SecondProgramButton, &QPushButton::clicked, w,
                     [w] { w->RunJob([w] { OnSecondProgramButton(w->S); }); });
    QObject::connect(w->CancelButton, &QPushButton::clicked, w, [this] { NoteCancelPressed(); });
    QObject::connect(w->SaveButton, &QPushButton::clicked, w, [w] {
        w->S.Window.CollectionEntry = T(w->Entry->text());
        AddCollectionEntry(w->S);
    });

    w->Entry = new QLineEdit(w);
    w->Entry->setObjectName("entry");
    w->Entry->setMinimumWidth(w->Entry->fontMetrics().horizontalAdvance(QString(30, 'x')));
    QObject::connect(w->Entry, &QLineEdit::textEdited, w,
                     [w](const QString& text) { w->S.Window.CollectionEntry = T(text); });

    w->StayConnected = new QCheckBox(Q(kStayConnectedCaption), w);
    w->StayConnected->setObjectName("stayConnected");
    w->StayConnected->setToolTip(Q(kStaySwitchTip));
    w->StayConnected->setChecked(app.StayConnected != 0);
    QObject::connect(w->StayConnected, &QCheckBox::toggled, w, [w](bool on) {
        w->Console.SetOn(on);
        w->UpdateConsoleTimer();
        if (on) w->LogPane->setFocus();
    });

    w->LogPane = CreateLogPane(*w);
    LayOut(*w);

    for (ControlId id :
         {ControlId::PortBox, ControlId::BaudBox, ControlId::DeviceBox, ControlId::CollectionBox,
          ControlId::CollectionEntry, ControlId::ProgressLabel, ControlId::ProgramButton,
          ControlId::SecondProgramButton, ControlId::CancelButton})
        RenderControl(session.Window, id);

    // The stored inner size, but never smaller than the controls need.
    w->move(app.MainX, app.MainY);
    w->resize(w->minimumSizeHint().expandedTo(QSize(app.MainW, app.MainH)));
    w->show();
    w->WatchDevices(devFolder, mountTable);
    w->UpdateConsoleTimer();
    return w;
}

QWidget* QtFrontend::MainWindow() const {
    return window_;
}

QPlainTextEdit* QtFrontend::LogPane() const {
    return window_ ? window_->LogPane : nullptr;
}

void QtFrontend::Destroy() {
    delete window_;
    window_ = nullptr;
}

void QtFrontend::RenderControl(const Controls& model, ControlId id) {
    QtWindow* w = window_;
    if (!w) return;
    switch (id) {
        case ControlId::PortBox:
            RenderBox(w->PortBox, model.PortBox);
            break;
        case ControlId::BaudBox:
            RenderBox(w->BaudBox, model.BaudBox);
            break;
        case ControlId::DeviceBox:
            RenderBox(w->DeviceBox, model.DeviceBox);
            break;
        case ControlId::CollectionBox:
            RenderBox(w->CollectionBox, model.CollectionBox);
            break;
        case ControlId::CollectionEntry:
            w->Entry->setText(Q(model.CollectionEntry));
            break;
        case ControlId::ProgressLabel:
            w->Progress->setText(Q(model.ProgressLabel));
            break;
        case ControlId::ProgramButton:
            w->ProgramButton->setVisible(model.ProgramShown);
            break;
        case ControlId::SecondProgramButton:
            w->SecondProgramButton->setVisible(model.SecondProgramShown);
            break;
        case ControlId::CancelButton:
            w->CancelButton->setVisible(model.CancelShown);
            break;
    }
}

Placement QtFrontend::CurrentWindowGeometry() {
    if (!window_) {
        if (!session_) return {};
        const AppState& app = session_->App;
        return {app.MainX, app.MainY, app.MainW, app.MainH};
    }
    QPoint frame = window_->pos();
    return {frame.x(), frame.y(), window_->width(), window_->height()};
}
