#include "app/commands.h"

#include "app/connect.h"
#include "app/program_files.h"
#include "app/pump.h"
#include "app/session.h"
#include "app/upload.h"
#include "source/files.h"
#include "source/firmware.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// Runs one action unless another is running: events that reach the program while an
// upload pumps the window have no effect.
template <typename Action>
void RunCommand(Session& s, Action action) {
    if (s.Running) return;
    s.Running = true;
    action();
    s.Running = false;
}

void UploadPastedText(Session& s, Text text) {
    s.App.TextFromPaste = true;
    s.App.ProgramText = std::move(text);
    ClearLog(s);
    RunUploadJob(s);
}

}  // namespace

bool CommandRunning(const Session& s) {
    return s.Running;
}

void OnProgramButton(Session& s) {
    RunCommand(s, [&s] { RunUploadJob(s); });
}

void OnSecondProgramButton(Session& s) {
    RunCommand(s, [&s] {
        s.App.PicoPort = BoxText(s.Window.PortBox);
        FirmwareReset(s);
    });
}

void OnPortBoxChosen(Session& s) {
    RunCommand(s, [&s] { s.App.Comport = BoxText(s.Window.PortBox); });
}

void OnBaudBoxChosen(Session& s) {
    RunCommand(s, [&s] { s.App.SerialSpeed = BoxText(s.Window.BaudBox); });
}

void OnDeviceBoxChosen(Session& s) {
    RunCommand(s, [&s] { s.App.Device = BoxText(s.Window.DeviceBox); });
}

void OnCollectionBoxChosen(Session& s) {
    RunCommand(s, [&s] {
        int chosen = s.Window.CollectionBox.Selected;
        if (chosen >= 0 && static_cast<size_t>(chosen) < s.App.Collection.size())
            SetCollectionEntry(s, s.App.Collection[static_cast<size_t>(chosen)]);
    });
}

void AddCollectionEntry(Session& s) {
    RunCommand(s, [&s] {
        CollectionEntryParts entry = SplitCollectionEntry(s.Window.CollectionEntry);
        Text name = TrimBlanks(entry.Name);
        Text options = TrimBlanks(entry.Options);
        if (!options.empty() && !IsOnloadLine(options)) options = u"'onload " + options;
        s.App.Collection.push_back(name + u"|" + options);
        s.Window.CollectionBox.Items.push_back(name);
        s.Front.RenderControl(s.Window, ControlId::CollectionBox);
    });
}

void OnPasteCode(Session& s) {
    RunCommand(s, [&s] { UploadPastedText(s, s.Front.ClipboardText()); });
}

void OnTextDropped(Session& s, TextView text) {
    RunCommand(s, [&s, text] { UploadPastedText(s, Text(text)); });
}

void OnFilesDropped(Session& s, TextView paths, UploadAs as) {
    RunCommand(s, [&s, paths, as] {
        Text first(paths.substr(0, paths.find(u'\n')));
        if (!first.empty() && first.back() == u'\r') first.pop_back();
        s.App.ProgramPath = first;
        s.App.TextFromPaste = false;
        ClearLog(s);
        AppendLog(s, s.App.ProgramPath);
        UploadFile(s, s.App.ProgramPath, as);
    });
}

void OnSaveReport(Session& s) {
    RunCommand(s, [&s] { SaveReport(s); });
}

void OnCommandLineFile(Session& s) {
    RunCommand(s, [&s] {
        if (s.App.ProgramPath.empty()) return;
        ClearLog(s);
        AppendLog(s, s.App.ProgramPath);
        if (LowerExtension(s.App.ProgramPath) == u"uf2") {
            if (Text problem = FirmwareFileProblem(s.App.ProgramPath); !problem.empty())
                AppendLog(s, u"Firmware not installed: " + problem);  // and no reset
            else
                FirmwareReset(s);
        } else {
            s.App.ProgramText = ReadProgramFile(s, s.App.ProgramPath);
            RunUploadJob(s);
        }
    });
}
