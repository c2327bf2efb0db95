#include "app/startup.h"

#include "app/commands.h"
#include "app/state.h"
#include "link/clock.h"
#include "link/serial.h"
#include "settings/ports.h"
#include "settings/settings.h"
#include "ui/log.h"

void StartupBeforeWindow(const std::vector<Text>& parameters, TextView settingsPath) {
    ResetAppState();
    App.ProgramFolder = ExecutableFolder();
    AllocateChannelBuffers();
    App.ProgramPath = JoinCommandLine(parameters);
    LoadSettings(settingsPath);
}

void StartupAfterWindow() {
    for (const Text& note : TakeSettingsNotes())
        AppendLog(note);
    RefreshPortBox();
    OnCommandLineFile();
}

void FinishAfterClose(TextView settingsPath) {
    SaveSettings(settingsPath);
    ClosePort();
    ReleaseChannelBuffers();
    DelayMs(50);
}
