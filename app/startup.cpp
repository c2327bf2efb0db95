#include "app/startup.h"

#include "app/commands.h"
#include "app/port_box.h"
#include "app/session.h"
#include "settings/settings.h"
#include "ui/log.h"

namespace {

Text SettingsPathOf(const Session& s, TextView settingsPath) {
    return settingsPath.empty() ? SettingsFilePath(s.App.ProgramFolder, s.App.SettingsFileName)
                                : Text(settingsPath);
}

}  // namespace

void StartupBeforeWindow(Session& s, const std::vector<Text>& parameters, TextView settingsPath) {
    s.App = AppState();
    s.App.ProgramFolder = ExecutableFolder();
    s.App.ProgramPath = JoinCommandLine(parameters);
    LoadedSettings loaded = LoadSettings(SettingsPathOf(s, settingsPath), s.App.BoardFamily, s.App);
    static_cast<Settings&>(s.App) = std::move(loaded.Values);
    s.App.SettingsNotes = std::move(loaded.Notes);
    s.App.SettingsWritable = loaded.Writable;
}

void StartupAfterWindow(Session& s) {
    for (const Text& note : s.App.SettingsNotes)
        AppendLog(s, note);
    s.App.SettingsNotes.clear();
    RefreshPortBox(s);
    OnCommandLineFile(s);
}

Text FinishAfterClose(Session& s, TextView settingsPath) {
    Text failure;
    if (s.App.SettingsWritable) {
        Placement frame = s.Front.CurrentWindowGeometry();
        s.App.MainX = frame.Left;
        s.App.MainY = frame.Top;
        s.App.MainW = frame.Width;
        s.App.MainH = frame.Height;
        failure = SaveSettings(SettingsPathOf(s, settingsPath), s.App.BoardFamily, s.App);
        if (!failure.empty()) AppendLog(s, u"Settings not saved: " + failure);
    }
    s.Port.Close();
    s.Time.DelayMs(50);
    return failure;
}
