// qz-uploader: the Linux desktop window. A file named on the command line is uploaded (or
// flashed) once the window is up, as the start-up sequence does.
#include <QApplication>
#include <vector>

#include "app/console.h"
#include "app/startup.h"
#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "ui/controls.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::vector<Text> parameters;
    QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        parameters.emplace_back(reinterpret_cast<const char16_t*>(a.utf16()),
                                static_cast<size_t>(a.size()));
    }
    StartupBeforeWindow(parameters);
    BuildControls();
    BuildQtWindow(Text());
    QtConsole().RunJob(StartupAfterWindow);
    return QApplication::exec();
}
