// How the Linux window keeps up while its console shows a board printing without pause:
// opens the window over the settings file given, turns "Stay connected" on, fills the log
// pane to near its scroll-back bound, uploads the program given (one that prints for ever),
// then for the seconds given resizes the window
// every 250 ms and measures how long each resize takes to reach the log pane's repaint,
// and the widest gap between two ticks of a 5 ms timer. Prints the figures and how many
// characters the pane took per second.
//   qz_console_qt_bench SETTINGS PROGRAM SECONDS
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/commands.h"
#include "app/console.h"
#include "app/program_files.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/window_model.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "link/clock.h"
#include "link/serial.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// The row the program prints: "0123456789abcdefghij row ", a number of 6 digits, CR LF.
constexpr size_t kRowBytes = 33;

// The number of the last whole row in the log.
int LastRow(const View& v) {
    const Text& log = LogText(v);
    size_t end = log.rfind(u"\r\n");
    size_t at = end == Text::npos ? Text::npos : log.rfind(u" row ", end);
    return at == Text::npos ? 0 : static_cast<int>(LeadingNumber(log.substr(at + 5)));
}

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* pane) : pane_(pane) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && waiting && pane_->width() != oldWidth) {
            latencies.push_back(clock.nsecsElapsed() / 1e6);
            waiting = false;
        }
        return false;
    }
    QElapsedTimer clock;
    bool waiting = false;
    int oldWidth = 0;
    std::vector<double> latencies;

private:
    QWidget* pane_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qz_console_qt_bench SETTINGS PROGRAM SECONDS\n");
        return 2;
    }
    Text settings = TextFromUtf8(argv[1]);
    Text program = TextFromUtf8(argv[2]);
    int seconds = std::atoi(argv[3]);
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    QtFrontend front;
    Session s(front, *port, clock);
    StartupBeforeWindow(s, {}, settings);
    BuildControls(s);
    auto* window = static_cast<QtWindow*>(front.Build(s, settings));
    StartupAfterWindow(s);
    window->Console.SetOn(true);
    window->UpdateConsoleTimer();
    QPlainTextEdit* pane = front.LogPane();
    QApplication::processEvents();

    // A pane already near its bound, so that the run also drops old lines as it goes.
    for (int i = 0; i < kConsoleScrollBackLines - 500; ++i)
        AppendLogStream(s, u"earlier line " + DecimalText(i) + u"\r\n");
    s.App.ProgramText = ReadProgramFile(s, program);
    QTimer::singleShot(500, [&] { window->RunJob([&] { OnProgramButton(s); }); });
    // Lets the program get going before anything is measured.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);

    PaintWatch watch(pane);
    pane->viewport()->installEventFilter(&watch);
    qint64 widestGapMs = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { widestGapMs = std::max(widestGapMs, tick.restart()); });
    ticker.start(5);
    bool wide = false;
    QTimer resizer;
    QObject::connect(&resizer, &QTimer::timeout, [&] {
        if (watch.waiting) return;  // the last one has not shown yet
        wide = !wide;
        watch.oldWidth = pane->width();
        watch.waiting = true;
        watch.clock.start();
        window->resize(wide ? 900 : 700, wide ? 600 : 460);
    });
    resizer.start(250);

    int rowBefore = LastRow(s);
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < seconds * 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    int rowAfter = LastRow(s);
    double runSeconds = run.elapsed() / 1000.0;
    ticker.stop();
    resizer.stop();
    std::vector<double> l = watch.latencies;
    std::sort(l.begin(), l.end());
    auto at = [&](double q) {
        return l.empty() ? 0.0 : l[static_cast<size_t>(q * static_cast<double>(l.size() - 1))];
    };
    std::printf(
        "resizes shown: %zu, resize to repaint: median %.1f ms, 95th %.1f ms, max %.1f ms\n",
        l.size(), at(0.5), at(0.95), l.empty() ? 0.0 : l.back());
    std::printf("widest gap between 5 ms timer ticks: %lld ms\n",
                static_cast<long long>(widestGapMs));
    double rowsPerSecond = (rowAfter - rowBefore) / runSeconds;
    std::printf(
        "rows shown: %.0f a second, %.0f bytes a second of %zu-byte rows "
        "(115200 baud carries 11520)\n",
        rowsPerSecond, rowsPerSecond * kRowBytes, kRowBytes);
    std::printf("log lines held: %d (bound 20000)\n", s.Log.Lines);
    std::printf("pane lines held: %d\n", pane->document()->blockCount());
    window->Console.SetOn(false);
    front.Destroy();
    return 0;
}
