#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/commands.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/upload.h"
#include "app/window_model.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "link/clock.h"
#include "link/serial.h"
#include "tests/settings/fake_sysfs.h"
#include "tests/support/board_peer.h"
#include "tests/support/uf2_image.h"
#include "ui/controls.h"

namespace fs = std::filesystem;

namespace {

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// While it lives, calls `act` on the popup or modal window open now (a menu or a dialog run
// by the code under test), every 20 ms until `act` says it is done with it. A test keeps it
// alive across the call that opens the dialog; a dialog nobody answers shows as a failed
// check on what `act` would have recorded, and is closed after 10 s so the run goes on.
class Answer {
public:
    explicit Answer(std::function<bool(QWidget*)> act) : timer_(std::make_unique<QTimer>()) {
        QTimer* timer = timer_.get();
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act, tries = 0]() mutable {
            QWidget* w = QApplication::activePopupWidget();
            if (!w) w = QApplication::activeModalWidget();
            if (w && act(w)) {
                timer->stop();
            } else if (++tries > 500 && w) {
                w->close();
                timer->stop();
            }
        });
        timer->start(20);
    }

private:
    std::unique_ptr<QTimer> timer_;
};

// Clicks `w` as the display server's click arrives: at the top-level window, which hands it
// to the widget under the mouse.
void ClickThroughWindow(QWidget* w) {
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      w->mapTo(top, w->rect().center()));
}

// Types `text` as the display server's keys arrive: at the top-level window, which hands
// them to the widget with the focus.
void TypeThroughWindow(QWidget* w, const char* text) {
    w->setFocus();
    for (const char* c = text; *c; ++c)
        QTest::keyClick(w->window()->windowHandle(), *c);
}

// Picks a menu item by keyboard; done once the menu has closed.
bool ChooseMenuItem(QWidget* w, const QString& text) {
    auto* menu = qobject_cast<QMenu*>(w);
    if (!menu) return false;
    for (QAction* a : menu->actions()) {
        if (a->text() == text) {
            menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
            return !menu->isVisible();
        }
    }
    return false;
}

void OpenLogMenu(QPlainTextEdit* pane, const QString& item) {
    Answer menu([item](QWidget* w) { return ChooseMenuItem(w, item); });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            pane->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(pane->viewport(), &event);
}

// Answers the next save dialog with `path`, noting its title; done once it has closed.
Answer AnswerSaveDialog(const fs::path& path, QString* title) {
    return Answer([path, title](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) return false;
        *title = dialog->windowTitle();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) return false;
        name->setText(QString::fromStdString(path.string()));
        static_cast<QDialog*>(dialog)->accept();
        return !dialog->isVisible();
    });
}

// Sends a drag's entry and then its drop, as a drag from another program arrives: Qt
// delivers the drop only to a widget that accepted the entry.
void Drop(QWidget* target, QMimeData* data) {
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(30, 30), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

void DropFile(QWidget* target, const fs::path& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    Drop(target, &data);
}

// What a watch from inside the event pump saw of a job: whether it ran (and whether already
// before the call that began it returned), the widest gap between two of its own ticks, and
// the log pane's repaints.
struct JobWatch {
    bool sawJob = false;
    bool ranBeforeStartReturned = false;
    int ticks = 0;
    qint64 widestGapMs = 0;
    int paints = 0;
};

class PaintCounter : public QObject {
public:
    explicit PaintCounter(int* paints) : paints_(paints) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++*paints_;
        return false;
    }

private:
    int* paints_;
};

}  // namespace

class WindowQtTest : public QObject {
    Q_OBJECT

    FakeSysfs sysfs;
    fs::path folder, devFolder, mountTable;

    // The program under test, made afresh by OpenWindow as main() makes it.
    struct Program {
        SystemClock Clock;
        std::unique_ptr<SerialPort> Port = MakeSystemSerialPort();
        QtFrontend Front;
        Session S{Front, *Port, Clock};
        // The window's console lets go of the port through the session.
        ~Program() { Front.Destroy(); }
    };
    std::unique_ptr<Program> qz;

    QWidget* MainWindow() const { return qz ? qz->Front.MainWindow() : nullptr; }
    QPlainTextEdit* LogPane() const { return qz->Front.LogPane(); }
    QtWindow& Window() const { return *static_cast<QtWindow*>(MainWindow()); }
    AppState& App() const { return qz->S.App; }

    template <class W>
    W* Find(const char* name) {
        return MainWindow()->findChild<W*>(name);
    }

    QString LogShown() { return LogPane()->toPlainText(); }

    void OpenLogMenu(const QString& item) { ::OpenLogMenu(LogPane(), item); }

    void WriteMountTable(bool withBoardDrive) {
        std::ofstream out(mountTable);
        out << "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
               "25 22 0:5 / /proc rw shared:2 - proc proc rw\n";
        if (withBoardDrive)
            out << "90 22 8:17 / " << (folder / "RPI\\040RP2").string()
                << " rw shared:40 - vfat /dev/sdb1 rw\n";
    }

    // Starts the program's window as main() does, over the settings file at `settings`.
    void OpenWindow(const fs::path& settings) {
        qz.reset();
        qz = std::make_unique<Program>();
        StartupBeforeWindow(qz->S, {}, PathText(settings));
        BuildControls(qz->S);
        qz->Front.Build(qz->S, PathText(settings), devFolder.string(), mountTable.string());
        StartupAfterWindow(qz->S);
        QVERIFY(QTest::qWaitForWindowExposed(MainWindow()));
    }

    fs::path SettingsFor(const std::string& name, const std::string& port) {
        fs::path file = folder / (name + ".ini");
        std::ofstream(file) << "[Windows]\r\nMainX = 120\r\nMainY = 80\r\nMainW = 640\r\n"
                               "MainH = 420\r\n[Micromite]\r\nComport = "
                            << port
                            << "\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n"
                               "[myDeviceList]\r\nLastUsed = 0\r\nDevice0 = Manual entry\r\n"
                               "Device1 = Slow|'onload micromite com:9600\r\n";
        return file;
    }

    // Runs `start` and the event loop until the job it begins has ended (at most 30 s),
    // watching the job with a 10 ms timer that also calls `each` (from inside the event pump).
    JobWatch Watch(const std::function<void()>& start, const std::function<void()>& each = {}) {
        JobWatch watch;
        QElapsedTimer clock;
        PaintCounter counter(&watch.paints);
        LogPane()->viewport()->installEventFilter(&counter);
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
            if (!CommandRunning(qz->S)) return;
            if (watch.sawJob)
                watch.widestGapMs = std::max(watch.widestGapMs, clock.restart());
            else
                clock.start();
            watch.sawJob = true;
            ++watch.ticks;
            // Dirties the pane so that a repaint is due at every tick.
            LogPane()->viewport()->update();
            if (each) each();
        });
        timer.start(10);
        QElapsedTimer startClock;
        startClock.start();
        start();
        qint64 startMs = startClock.elapsed();
        watch.ranBeforeStartReturned = watch.sawJob;
        for (QElapsedTimer wait; !watch.sawJob || CommandRunning(qz->S);) {
            if (!wait.isValid()) wait.start();
            if (wait.elapsed() > 30000) break;
            QTest::qWait(5);
        }
        LogPane()->viewport()->removeEventFilter(&counter);
        qInfo("job: start returned after %lld ms, %d ticks, widest gap %lld ms, %d repaints",
              static_cast<long long>(startMs), watch.ticks,
              static_cast<long long>(watch.widestGapMs), watch.paints);
        return watch;
    }

private slots:
    void initTestCase() {
        folder = FreshFolder("qz-qt-test");
        devFolder = folder / "dev";
        mountTable = folder / "mountinfo";
        fs::create_directories(devFolder);
        WriteMountTable(false);
        sysfs.Add("ttyUSB10", true);
        sysfs.Add("ttyUSB2", true);
        sysfs.Add("ttyACM0", true);
        sysfs.Add("tty1", false);
        sysfs.Install();
    }

    void cleanupTestCase() { qz.reset(); }

    // No settings file: the fixed lists with their default selections, the default entry,
    // the job's buttons hidden, the window where the defaults put it.
    void startsWithTheDefaultsWithoutASettingsFile() {
        OpenWindow(folder / "none.ini");
        QCOMPARE(MainWindow()->windowTitle(), QString("QZ Program Uploader"));
        auto* baud = Find<QComboBox>("baudBox");
        QCOMPARE(baud->count(), 9);
        QCOMPARE(baud->itemText(0), QString("4800"));
        QCOMPARE(baud->currentText(), QString::fromStdU16String(App().SerialSpeed));
        QCOMPARE(baud->toolTip(), QString("Serial baud rate"));
        auto* device = Find<QComboBox>("deviceBox");
        QCOMPARE(device->count(), 6);
        QCOMPARE(device->currentText(), QString::fromStdU16String(App().Device));
        auto* ports = Find<QComboBox>("portBox");
        QCOMPARE(ports->toolTip(), QString("Serial port"));
        QCOMPARE(Items(ports), QStringList({"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
        QCOMPARE(Items(Find<QComboBox>("collectionBox")), QStringList({"Manual entry"}));
        QCOMPARE(Find<QComboBox>("collectionBox")->toolTip(), QString("My collection"));
        QCOMPARE(Find<QLineEdit>("entry")->text(), QString("Manual entry"));
        QVERIFY(!Find<QPushButton>("program")->isVisible());
        QVERIFY(!Find<QPushButton>("secondProgram")->isVisible());
        QVERIFY(!Find<QPushButton>("cancel")->isVisible());
        QVERIFY(Find<QPushButton>("saveSettings")->isVisible());
        QCOMPARE(Find<QPushButton>("program")->toolTip(), QString("Load program"));
        QCOMPARE(MainWindow()->pos(), QPoint(App().MainX, App().MainY));
        // The default inner size, widened to what shows every control.
        QCOMPARE(MainWindow()->height(), App().MainH);
        QCOMPARE(MainWindow()->width(),
                 std::max(App().MainW, MainWindow()->minimumSizeHint().width()));
        QPlainTextEdit* pane = LogPane();
        QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(pane->maximumBlockCount(), 0);
        QVERIFY(QFontInfo(pane->font()).fixedPitch());
        QVERIFY(!pane->isReadOnly());
    }

    // Every control shows its text whole: the boxes their items (the port box a typical
    // port name), the buttons and the progress their captions; the log pane fills the rest
    // below the two rows, and the window cannot be made smaller than what shows all that.
    // (qz_qt_layout_scaled runs this at a 200 % display scale.)
    void controlsShowTheirTextWhole() {
        OpenWindow(SettingsFor("layout", "/dev/ttyACM0"));
        QWidget* w = MainWindow();
        auto fits = [](QComboBox* box, const QString& text) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = false;
            QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, box);
            return box->fontMetrics().horizontalAdvance(text) <= field.width() - 2 &&
                   box->height() >= box->fontMetrics().height();
        };
        auto* ports = Find<QComboBox>("portBox");
        for (const char* port : {"/dev/ttyACM0", "/dev/ttyUSB10", "COM12"})
            QVERIFY2(fits(ports, port), port);
        for (const char* name : {"baudBox", "deviceBox", "collectionBox"}) {
            auto* box = Find<QComboBox>(name);
            for (const QString& item : Items(box))
                QVERIFY2(fits(box, item), qPrintable(name + (": " + item)));
        }
        ShowButton(qz->S, ControlId::ProgramButton, true);
        SetProgressLabel(qz->S, u"1234/1234");
        QTest::qWait(50);
        for (const char* name : {"program", "saveSettings"}) {
            auto* button = Find<QPushButton>(name);
            QVERIFY2(button->width() >= button->sizeHint().width() &&
                         button->height() >= button->sizeHint().height(),
                     name);
        }
        auto* label = Find<QLabel>("progress");
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        // The rows do not overlap; the pane takes the rest, whatever the window's size.
        QRect row1 = ports->geometry(), entry = Find<QLineEdit>("entry")->geometry();
        QVERIFY(entry.top() > row1.bottom());
        QPlainTextEdit* pane = LogPane();
        for (QSize size : {QSize(900, 700), QSize(200, 100)}) {
            w->resize(size);
            QTest::qWait(50);
            QVERIFY(w->width() >= std::max(size.width(), w->minimumSizeHint().width()));
            QVERIFY(pane->geometry().top() > entry.bottom());
            QVERIFY(w->width() - pane->geometry().right() <= 12);
            QVERIFY(w->height() - pane->geometry().bottom() <= 12);
            QCOMPARE(Find<QLineEdit>("entry")->geometry(), entry);
        }
        QVERIFY(w->width() > 200 && w->height() > 100);
    }

    // A settings file gives the window's place and size, the selections and the collection;
    // the port it names is selected among the discovered ones.
    void startsFromASettingsFile() {
        OpenWindow(SettingsFor("start", "/dev/ttyUSB2"));
        QCOMPARE(MainWindow()->pos(), QPoint(120, 80));
        QCOMPARE(MainWindow()->size(), QSize(640, 420));
        QCOMPARE(Find<QComboBox>("portBox")->currentText(), QString("/dev/ttyUSB2"));
        QCOMPARE(Find<QComboBox>("baudBox")->currentText(), QString("115200"));
        QCOMPARE(Find<QComboBox>("deviceBox")->currentText(), QString("micromite"));
        QCOMPARE(Items(Find<QComboBox>("collectionBox")), QStringList({"Manual entry", "Slow"}));
        QCOMPARE(Find<QComboBox>("collectionBox")->currentText(), QString("Manual entry"));
    }

    // A choice made in a box reaches the application state; a selection by text (as an
    // options line makes) shows in the box, whatever the letter case.
    void boxesChooseAndSelectByText() {
        auto* baud = Find<QComboBox>("baudBox");
        baud->setFocus();
        QTest::keyClick(baud, Qt::Key_Up);
        QCOMPARE(baud->currentText(), QString("57600"));
        QCOMPARE(App().SerialSpeed, Text(u"57600"));
        auto* ports = Find<QComboBox>("portBox");
        QTest::keyClick(ports, Qt::Key_Down);
        QCOMPARE(App().Comport, Text(u"/dev/ttyUSB10"));

        SelectBoxText(qz->S, ControlId::DeviceBox, u"PICROMITE");
        QCOMPARE(Find<QComboBox>("deviceBox")->currentText(), QString("picromite"));
        SelectBoxText(qz->S, ControlId::DeviceBox, u"no such device");
        QCOMPARE(Find<QComboBox>("deviceBox")->currentText(), QString("picromite"));
        SelectBoxText(qz->S, ControlId::PortBox, u"");
        QCOMPARE(ports->currentIndex(), -1);
    }

    // A new entry typed and saved joins "My collection"; choosing an entry puts its full
    // text, options included, in the entry box.
    void collectionEntriesAreAddedAndChosen() {
        auto* entry = Find<QLineEdit>("entry");
        auto* collection = Find<QComboBox>("collectionBox");
        entry->selectAll();
        QTest::keyClicks(entry, "Fast | cmm2 com:/dev/ttyACM0:230400");
        QTest::mouseClick(Find<QPushButton>("saveSettings"), Qt::LeftButton);
        QCOMPARE(Items(collection), QStringList({"Manual entry", "Slow", "Fast"}));
        QCOMPARE(App().Collection.back(), Text(u"Fast|'onload cmm2 com:/dev/ttyACM0:230400"));

        collection->setFocus();
        QTest::keyClick(collection, Qt::Key_Down);
        QCOMPARE(collection->currentText(), QString("Slow"));
        QCOMPARE(entry->text(), QString("Slow|'onload micromite com:9600"));
        QTest::keyClick(collection, Qt::Key_Down);
        QCOMPARE(entry->text(), QString("Fast|'onload cmm2 com:/dev/ttyACM0:230400"));
        QTest::keyClick(collection, Qt::Key_Home);
        QCOMPARE(entry->text(), QString("Manual entry"));
        QCOMPARE(qz->S.Window.CollectionEntry, Text(u"Manual entry"));
    }

    // "Select All", "Copy" and "Save As..." act on what the pane shows, the user's own
    // typing included.
    void logMenuCopiesAndSaves() {
        LogPane()->setPlainText("first line\nsecond line");
        QGuiApplication::clipboard()->clear();
        OpenLogMenu("Select All");
        QCOMPARE(LogPane()->textCursor().selectedText().size(), 22);
        OpenLogMenu("Copy");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString("first line\nsecond line"));

        fs::path report = folder / "report.txt";
        QString title;
        Answer save = AnswerSaveDialog(report, &title);
        OpenLogMenu("Save As...");
        QCOMPARE(title, QString("Save report"));
        QVERIFY(fs::exists(report));
        QCOMPARE(QString::fromStdString(ReadBytes(report)), QString("first line\r\nsecond line"));
    }

    void pastingAnEmptyClipboardLoadsNothing() {
        QGuiApplication::clipboard()->clear();
        OpenLogMenu("Paste code");
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::NothingToLoad);
    }

    // Pasted code that asks to be encoded goes to the file named in the "Encoded file"
    // dialog, not to a board.
    void pastedCodeIsEncodedToTheChosenFile() {
        QGuiApplication::clipboard()->setText("'encode\n10 PRINT \"secret\"\n");
        fs::path target = folder / "secret";
        QString title;
        Answer save = AnswerSaveDialog(target, &title);
        OpenLogMenu("Paste code");
        QCOMPARE(title, QString("Encoded file"));
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Completed);
        std::string bytes = ReadBytes(folder / "secret.bae");
        QVERIFY(bytes.rfind("QZHEX", 0) == 0);
        QVERIFY(bytes.find("secret") == std::string::npos);
        QVERIFY(LogShown().contains("Encoding completed."));
    }

    // Ports appearing in the watched device folder reach the log through the window's own
    // notifier; names that are not serial ports do not.
    void serialPortsComingAndGoingAreLogged() {
        LogPane()->clear();
        std::ofstream(devFolder / "ttyACM7").put('x');
        std::ofstream(devFolder / "notaport").put('x');
        QTRY_VERIFY(LogShown().contains("Port: ttyACM7 inserted"));
        fs::remove(devFolder / "ttyACM7");
        QTRY_VERIFY(LogShown().contains("Port: ttyACM7 removed"));
        QVERIFY(!LogShown().contains("notaport"));
    }

    // A firmware file waits for the board's drive; an unmount leaves it waiting, and the
    // drive's mount copies it there once.
    void aMountedDriveTakesThePendingFirmware() {
        fs::path drive = folder / "RPI RP2";
        fs::create_directories(drive);
        fs::path firmware = folder / "fw.uf2";
        std::ofstream(firmware) << Uf2Image(1);
        App().ProgramPath = PathText(firmware);
        App().FirmwarePending = true;
        LogPane()->clear();
        // A plain file raises no change notice as the kernel's mount table does, so the
        // test calls the handler that the window's notifier calls.
        WriteMountTable(true);
        Window().VolumesChanged();
        QVERIFY(LogShown().contains(QString::fromStdString("  Device Drive " + drive.string())));
        QCOMPARE(ReadBytes(drive / "fw.uf2"), Uf2Image(1));
        QVERIFY(!App().FirmwarePending);
        WriteMountTable(false);
        Window().VolumesChanged();
        QCOMPARE(LogShown().count("  Device Drive "), 2);
    }

    // With no serial port at all the user is told so and the port box stays empty.
    void noSerialPortsAreReported() {
        QString caption, text;
        {
            FakeSysfs empty;
            empty.Install();
            Answer oops([&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box) return false;
                caption = box->windowTitle();
                text = box->text();
                box->button(QMessageBox::Ok)->click();
                return true;
            });
            OpenWindow(folder / "none.ini");
        }
        // The empty tree's end took its setting away; the usual tree comes back.
        sysfs.Install();
        QCOMPARE(caption, QString("OOPS!"));
        QCOMPARE(text, QString("No com ports found"));
        QCOMPARE(Find<QComboBox>("portBox")->count(), 0);
    }

    // A dropped file goes to the board named in the settings; the window repaints, and what
    // the user does meanwhile (typing, turning a box, buttons, the menu, another drop, the
    // close request) has no effect.
    void aDroppedFileIsUploaded() {
        BoardPeer board = StartBoard();
        QVERIFY(board.Pid > 0);
        OpenWindow(SettingsFor("drop", board.Tty));
        QCOMPARE(Find<QComboBox>("portBox")->currentText(), QString::fromStdString(board.Tty));
        bool closed = false;
        fs::path other = folder / "other.bas";
        std::ofstream(other) << "10 PRINT \"other\"\n";
        JobWatch watch = Watch(
            [this] { DropFile(MainWindow(), fs::path(QZ_SOURCE_DIR) / "examples" / "demo.bas"); },
            [&] {
                closed = closed || MainWindow()->close();
                // The window manager's close request arrives at the top-level window.
                QCloseEvent request;
                QCoreApplication::sendEvent(MainWindow()->windowHandle(), &request);
                closed = closed || request.isAccepted();
                TypeThroughWindow(LogPane(), "zz");
                QTest::keyClick(Find<QComboBox>("baudBox"), Qt::Key_Up);
                QTest::keyClicks(Find<QLineEdit>("entry"), "yy");
                ClickThroughWindow(Find<QPushButton>("saveSettings"));
                QMimeData data;
                data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other.string()))});
                QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton,
                                      Qt::NoModifier);
                QCoreApplication::sendEvent(MainWindow(), &enter);
                QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(20, 20),
                                       LogPane()->mapToGlobal(QPoint(20, 20)));
                QCoreApplication::sendEvent(LogPane()->viewport(), &menu);
            });
        QVERIFY2(watch.sawJob, qPrintable(LogShown()));
        QVERIFY(!closed);
        QVERIFY(MainWindow()->isVisible());
        QVERIFY(!LogShown().contains("zz"));
        QCOMPARE(Find<QComboBox>("baudBox")->currentText(), QString("115200"));
        QCOMPARE(App().SerialSpeed, Text(u"115200"));
        QCOMPARE(Find<QLineEdit>("entry")->text(), QString("Manual entry"));
        QCOMPARE(Find<QComboBox>("collectionBox")->count(), 2);
        QVERIFY(!LogShown().contains("other.bas"));
        QVERIFY(watch.paints > 0);
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Completed);
        QVERIFY2(LogShown().contains("Micromite upload completed"), qPrintable(LogShown()));
        std::string sent = ReadBytes(fs::path(QZ_SOURCE_DIR) / "examples" / "demo.bas");
        std::string stored = StoredFile(board, "program.bas");
        QVERIFY(!stored.empty());
        QVERIFY(sent.find(stored.substr(0, stored.find('\n'))) != std::string::npos);
        StopBoard(board);
    }

    // Text dropped on the log pane is uploaded as pasted code.
    void droppedTextIsUploaded() {
        BoardPeer board = StartBoard();
        QVERIFY(board.Pid > 0);
        OpenWindow(SettingsFor("text", board.Tty));
        QMimeData data;
        data.setText("10 PRINT \"dropped\"\n20 PRINT 6*7\n");
        JobWatch watch = Watch([&] { Drop(LogPane()->viewport(), &data); });
        QVERIFY2(watch.sawJob, qPrintable(LogShown()));
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Completed);
        QVERIFY(StoredFile(board, "program.bas").find("PRINT \"dropped\"") != std::string::npos);
        StopBoard(board);
    }

    // The board's PIN prompt opens the masked "PIN required!" dialog; its answer lets the
    // upload through.
    void thePinIsAskedInAMaskedDialog() {
        BoardPeer board = StartBoard({"--pin", "4321"});
        QVERIFY(board.Pid > 0);
        OpenWindow(SettingsFor("pin", board.Tty));
        QString title;
        bool masked = false;
        Answer pin([&](QWidget* w) {
            auto* field = w->findChild<QLineEdit*>("input");
            if (!field) return false;
            title = w->windowTitle();
            masked = field->echoMode() == QLineEdit::Password;
            QTest::keyClicks(field, "4321");
            QTest::keyClick(field, Qt::Key_Return);
            return !w->isVisible();
        });
        Watch(
            [this] { DropFile(MainWindow(), fs::path(QZ_SOURCE_DIR) / "examples" / "demo.bas"); });
        QCOMPARE(title, QString("PIN required!"));
        QVERIFY(masked);
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Completed);
        StopBoard(board);
    }

    // A drop returns at once, before the upload starts; "Cancel" pressed during a long
    // upload stops it within ten lines.
    void cancelStopsAnUpload() {
        BoardPeer board = StartBoard({"--echo-delay", "5"});
        QVERIFY(board.Pid > 0);
        OpenWindow(SettingsFor("cancel", board.Tty));
        fs::path program = folder / "long.bas";
        {
            std::ofstream out(program);
            for (int i = 1; i <= 300; ++i)
                out << i * 10 << " PRINT \"line " << i << "\"\n";
        }
        int linesAtCancel = -1;
        JobWatch watch = Watch(
            [&] { DropFile(MainWindow(), program); },
            [&] {
                auto* cancel = Find<QPushButton>("cancel");
                int lines = Find<QLabel>("progress")->text().section('/', 0, 0).trimmed().toInt();
                if (linesAtCancel >= 0 || !cancel->isVisible() || lines < 20) return;
                linesAtCancel = lines;
                ClickThroughWindow(cancel);
            });
        QVERIFY(!watch.ranBeforeStartReturned);
        QVERIFY2(linesAtCancel >= 20, qPrintable(LogShown()));
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Aborted);
        QVERIFY(!LogShown().contains("upload completed"));
        // The job looks for Cancel at every tenth line: the board got at most ten more.
        std::string received = StoredFile(board, "transcript.log");
        int sent = 0;
        for (size_t at = received.find("PRINT \"line "); at != std::string::npos;
             at = received.find("PRINT \"line ", at + 1))
            ++sent;
        QVERIFY2(sent >= linesAtCancel && sent <= linesAtCancel + 10,
                 qPrintable(QString("%1 lines sent, Cancel at %2").arg(sent).arg(linesAtCancel)));
        QVERIFY(!Find<QPushButton>("cancel")->isVisible());
        QVERIFY(watch.paints > 0);
        StopBoard(board);
    }

    // Closing the idle window writes the settings, its place and size and the collection
    // included.
    void closingWhenIdleSavesTheSettings() {
        fs::path settings = SettingsFor("close", "/dev/ttyACM0");
        OpenWindow(settings);
        fs::remove(settings);
        MainWindow()->move(150, 90);
        MainWindow()->resize(700, 450);
        QTRY_COMPARE(MainWindow()->size(), QSize(700, 450));
        auto* ports = Find<QComboBox>("portBox");
        ports->setFocus();
        QTest::keyClick(ports, Qt::Key_End);
        QVERIFY(MainWindow()->close());
        QVERIFY(fs::exists(settings));
        QString text = QString::fromStdString(ReadBytes(settings));
        for (const char* line :
             {"MainX = 150\r\n", "MainY = 90\r\n", "MainW = 700\r\n", "MainH = 450\r\n",
              "Comport = /dev/ttyUSB10\r\n", "Device1 = Slow|'onload micromite com:9600\r\n"})
            QVERIFY2(text.contains(line), qPrintable(text));
    }

    // With "Stay connected" on, the log pane is the board's console after a job: all of a
    // long reply, the answer to INPUT and a typed command reach it, and a board restarted on
    // the same port is found again without a click. The switch is saved.
    void stayConnectedMakesTheLogTheBoardsConsole() {
        std::string link = (folder / "console-port").string();
        BoardPeer board = StartBoard({"--link", link});
        QVERIFY(board.Pid > 0);
        fs::path settings = SettingsFor("console", link);
        OpenWindow(settings);
        QCOMPARE(LogPane()->placeholderText(),
                 QString("Drop a program file here, or right-click and choose \"Paste code\""));
        auto* stay = Find<QCheckBox>("stayConnected");
        QVERIFY(!stay->isChecked());
        ClickThroughWindow(stay);
        QTRY_VERIFY(LogShown().contains("keys typed here go to the board"));

        fs::path program = folder / "flood.bas";
        std::ofstream(program) << "For i = 1 To 1100\nPrint \"0123456789 row \"; i\nNext\n"
                                  "Input \"Name\"; n$\nPrint \"hi \"; n$\n";
        Watch([&] { DropFile(MainWindow(), program); });
        QCOMPARE(LastJobOutcome(qz->S), JobOutcome::Completed);
        QTRY_VERIFY_WITH_TIMEOUT(LogShown().contains("Name? "), 10000);
        // About 23 000 bytes, every line of them.
        QCOMPARE(LogShown().count("0123456789 row"), 1100);
        QVERIFY(LogShown().contains("0123456789 row 1100\nName? "));
        TypeThroughWindow(LogPane(), "Ada");
        QTest::keyClick(MainWindow()->windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(LogShown().contains("hi Ada\n"));

        StopBoard(board);
        QTRY_VERIFY(LogShown().contains("The board went away; waiting for it on " +
                                        QString::fromStdString(link)));
        board = StartBoard({"--link", link});
        QTRY_VERIFY(LogShown().contains("The board is back on " + QString::fromStdString(link)));
        TypeThroughWindow(LogPane(), "PRINT 6*7");
        QTest::keyClick(MainWindow()->windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(LogShown().contains("PRINT 6*7\n42\n"));
        QVERIFY(MainWindow()->close());
        QVERIFY(QString::fromStdString(ReadBytes(settings)).contains("StayConnected = 1\r\n"));
        StopBoard(board);
    }
};

QTEST_MAIN(WindowQtTest)
#include "window_qt_test.moc"
