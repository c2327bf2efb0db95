#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/commands.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/upload.h"
#include "frontends/qt/window_qt.h"
#include "tests/support/board_peer.h"
#include "ui/controls.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

template <class W>
W* Find(const char* name) {
    return QtMainWindow()->findChild<W*>(name);
}

// Calls `act` on the first popup or modal window that opens (a menu or a dialog run by the
// code under test), polling until `act` says it has handled it.
void WhenOpened(std::function<bool(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w) w = QApplication::activeModalWidget();
        if (w && act(w)) timer->deleteLater();
    });
    timer->start(20);
}

bool ChooseMenuItem(QWidget* w, const QString& text) {
    auto* menu = qobject_cast<QMenu*>(w);
    if (!menu) return false;
    for (QAction* a : menu->actions()) {
        if (a->text() == text) {
            menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
            return true;
        }
    }
    return false;
}

void OpenLogMenu(const QString& item) {
    WhenOpened([item](QWidget* w) { return ChooseMenuItem(w, item); });
    QPlainTextEdit* pane = QtLogPane();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            pane->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(pane->viewport(), &event);
}

void DropFile(QWidget* target, const fs::path& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    // Qt delivers a drop only to the widget that accepted the drag's entry, as a real drag
    // from another program goes.
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

}  // namespace

class WindowQtTest : public QObject {
    Q_OBJECT

    fs::path folder, settings, devFolder, mountTable;
    BoardPeer board;

    void WriteMountTable(bool withBoardDrive) {
        std::ofstream out(mountTable);
        out << "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
               "25 22 0:5 / /proc rw shared:2 - proc proc rw\n";
        if (withBoardDrive)
            out << "90 22 8:17 / " << (folder / "RPI\\040RP2").string()
                << " rw shared:40 - vfat /dev/sdb1 rw\n";
    }

private slots:
    void initTestCase() {
        folder = FreshFolder("qz-qt-test");
        settings = folder / "settings.ini";
        devFolder = folder / "dev";
        mountTable = folder / "mountinfo";
        fs::create_directories(devFolder);
        WriteMountTable(false);
        StartupBeforeWindow({}, QString::fromStdString(settings.string()).toStdU16String());
        BuildControls();
        BuildQtWindow(QString::fromStdString(settings.string()).toStdU16String(),
                      devFolder.string(), mountTable.string());
        StartupAfterWindow();
        QVERIFY(QTest::qWaitForWindowExposed(QtMainWindow()));
    }

    // No settings file: the fixed lists with their default selections, the default entry,
    // the job's buttons hidden, the window where the defaults put it.
    void startsWithTheDefaults() {
        QCOMPARE(QtMainWindow()->windowTitle(), QString("QZ Program Uploader"));
        auto* baud = Find<QComboBox>("baudBox");
        QCOMPARE(baud->count(), 9);
        QCOMPARE(baud->itemText(0), QString("4800"));
        QCOMPARE(baud->currentText(), QString::fromStdU16String(App.SerialSpeed));
        QCOMPARE(baud->toolTip(), QString("Serial baud rate"));
        auto* device = Find<QComboBox>("deviceBox");
        QCOMPARE(device->count(), 5);
        QCOMPARE(device->currentText(), QString::fromStdU16String(App.Device));
        QCOMPARE(Find<QComboBox>("portBox")->toolTip(), QString("Serial port"));
        QCOMPARE(Find<QComboBox>("collectionBox")->currentText(), QString("Manual entry"));
        QCOMPARE(Find<QLineEdit>("entry")->text(), QString("Manual entry"));
        QVERIFY(!Find<QPushButton>("program")->isVisible());
        QVERIFY(!Find<QPushButton>("cancel")->isVisible());
        QVERIFY(Find<QPushButton>("saveSettings")->isVisible());
        QCOMPARE(Find<QPushButton>("program")->toolTip(), QString("Load program"));
        QCOMPARE(QtMainWindow()->width(), App.MainW);
        QCOMPARE(QtMainWindow()->height(), App.MainH);
        QPlainTextEdit* pane = QtLogPane();
        QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(!pane->isReadOnly());
        QVERIFY(pane->geometry().top() >= Find<QLineEdit>("entry")->geometry().bottom());
        // The log follows the window's size.
        QtMainWindow()->resize(600, 400);
        QTRY_COMPARE(pane->width(), 580);
        QtMainWindow()->resize(App.MainW, App.MainH);
    }

    // "Select All", "Copy" and "Save As..." act on what the pane shows, the user's own
    // typing included.
    void logMenuCopiesAndSaves() {
        QtLogPane()->setPlainText("first line\nsecond line");
        QGuiApplication::clipboard()->clear();
        OpenLogMenu("Select All");
        OpenLogMenu("Copy");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString("first line\nsecond line"));

        fs::path report = folder / "report.txt";
        WhenOpened([report](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog) return false;
            dialog->selectFile(QString::fromStdString(report.string()));
            static_cast<QDialog*>(dialog)->accept();
            return true;
        });
        OpenLogMenu("Save As...");
        QTRY_VERIFY(fs::exists(report));
        std::string saved = ReadAll(report);
        QVERIFY2(saved.find("first line") != std::string::npos, saved.c_str());
        QVERIFY(saved.find("second line") != std::string::npos);
    }

    void pastingAnEmptyClipboardLoadsNothing() {
        QGuiApplication::clipboard()->clear();
        OpenLogMenu("Paste code");
        QTRY_COMPARE(LastJobOutcome(), JobOutcome::NothingToLoad);
    }

    void serialPortsComingAndGoingAreLogged() {
        QtLogPane()->clear();
        std::ofstream(devFolder / "ttyACM7").put('x');
        std::ofstream(devFolder / "notaport").put('x');
        QTRY_VERIFY(QtLogPane()->toPlainText().contains("Port: ttyACM7 inserted"));
        fs::remove(devFolder / "ttyACM7");
        QTRY_VERIFY(QtLogPane()->toPlainText().contains("Port: ttyACM7 removed"));
        QVERIFY(!QtLogPane()->toPlainText().contains("notaport"));
    }

    // A firmware file waits for the board's drive; the drive's mount copies it there once.
    void aMountedDriveTakesThePendingFirmware() {
        fs::path drive = folder / "RPI RP2";
        fs::create_directories(drive);
        fs::path firmware = folder / "fw.uf2";
        std::ofstream(firmware) << "UF2 image";
        App.ProgramPath = QString::fromStdString(firmware.string()).toStdU16String();
        App.FirmwarePending = true;
        QtLogPane()->clear();
        WriteMountTable(true);
        HandleVolumeWatchForTest();
        QVERIFY(QtLogPane()->toPlainText().contains(
            QString::fromStdString("  Device Drive " + drive.string())));
        QCOMPARE(ReadAll(drive / "fw.uf2"), std::string("UF2 image"));
        QVERIFY(!App.FirmwarePending);
        WriteMountTable(false);
        HandleVolumeWatchForTest();
        QCOMPARE(QtLogPane()->toPlainText().count("  Device Drive "), 2);
    }

    // A dropped file goes to the board; a close request during the upload is refused.
    void aDroppedFileIsUploadedAndTheWindowStaysOpenMeanwhile() {
        board = StartBoard();
        QVERIFY(board.Pid > 0);
        App.Comport = QString::fromStdString(board.Tty).toStdU16String();
        bool closedDuringJob = true;
        bool sawJob = false;
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [&] {
            if (!CommandRunning()) return;
            sawJob = true;
            closedDuringJob = QtMainWindow()->close();
            timer->deleteLater();
        });
        timer->start(10);
        DropFile(QtMainWindow(), fs::path(QZ_SOURCE_DIR) / "examples" / "demo.bas");
        QVERIFY2(sawJob, qPrintable(QtLogPane()->toPlainText()));
        QVERIFY(!closedDuringJob);
        QCOMPARE(LastJobOutcome(), JobOutcome::Completed);
        QVERIFY(QtLogPane()->toPlainText().contains("upload completed"));
        QVERIFY(QtMainWindow()->isVisible());
    }

    void closingWhenIdleSavesTheSettings() {
        QVERIFY(!fs::exists(settings));
        QVERIFY(QtMainWindow()->close());
        QVERIFY(fs::exists(settings));
        std::string text = ReadAll(settings);
        QVERIFY2(text.find(board.Tty) != std::string::npos, text.c_str());
        StopBoard(board);
    }

private:
    void HandleVolumeWatchForTest();
};

#include "settings/hotplug_linux.h"

// A plain file raises no change notice as the kernel's mount table does, so the test runs
// the notifier's handler itself after changing the file.
void WindowQtTest::HandleVolumeWatchForTest() {
    HandleVolumeWatch();
}

QTEST_MAIN(WindowQtTest)
#include "window_qt_test.moc"
