// qz-uploader: the Windows desktop program.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <vector>

#include "app/console.h"
#include "app/session.h"
#include "app/startup.h"
#include "frontends/win32/main_window_win32.h"
#include "link/clock.h"
#include "link/serial.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<Text> parameters;
    for (int i = 1; i < count; ++i) {
        std::wstring a(arguments[i]);
        parameters.emplace_back(a.begin(), a.end());
    }
    LocalFree(arguments);
    OleInitialize(nullptr);
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Win32Frontend front;
    Session s(front, *port, clock);
    StartupBeforeWindow(s, parameters);
    WindowConsole console(s);
    if (!front.Build(s, &console)) return 1;
    console.RunJob([&s] { StartupAfterWindow(s); });
    front.RunEventLoop();
    // A save that failed was logged; the user learns it before the window goes.
    if (Text failure = FinishAfterClose(s); !failure.empty())
        front.ShowMessageBox(s.App.WindowTitle, failure);
    front.Destroy();
    return 0;
}
