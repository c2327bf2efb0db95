// qz-uploader: the Linux desktop window. A file named on the command line is uploaded (or
// flashed) once the window is up, as the start-up sequence does.
#include <QApplication>
#include <memory>
#include <vector>

#include "app/session.h"
#include "app/startup.h"
#include "app/window_model.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "link/clock.h"
#include "link/serial.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::vector<Text> parameters;
    QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        parameters.push_back(T(arguments[i]));
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    QtFrontend front;
    Session s(front, *port, clock);
    StartupBeforeWindow(s, parameters);
    BuildControls(s);
    auto* window = static_cast<QtWindow*>(front.Build(s, Text()));
    window->RunJob([&s] { StartupAfterWindow(s); });
    int status = QApplication::exec();
    // The window's console lets go of the port through the session, which goes first.
    front.Destroy();
    return status;
}
