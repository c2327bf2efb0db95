// qz-uploader: the Windows desktop program.
#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "app/console.h"
#include "app/startup.h"
#include "frontends/win32/main_window_win32.h"

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
    StartupBeforeWindow(parameters);
    WindowConsole console;
    if (!BuildMainWindow(&console)) return 1;
    console.RunJob(StartupAfterWindow);
    RunEventLoop();
    FinishAfterClose();
    DestroyWindow(MainWindowHandle());
    return 0;
}
