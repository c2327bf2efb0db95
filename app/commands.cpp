#include "app/commands.h"

#include "app/connect.h"
#include "app/program_files.h"
#include "app/state.h"
#include "app/upload.h"
#include "link/serial.h"
#include "source/files.h"
#include "source/firmware.h"
#include "ui/controls.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

bool running = false;

// Runs one action unless another is running: events that reach the program while an
// upload pumps the window have no effect.
template <typename Action>
void RunCommand(Action action) {
    if (running) return;
    running = true;
    action();
    running = false;
}

void UploadPastedText(Text text) {
    App.TextFromPaste = true;
    App.ProgramText = std::move(text);
    ClearLog();
    RunUploadJob();
}

}  // namespace

bool CommandRunning() {
    return running;
}

void OnProgramButton() {
    RunCommand([] { RunUploadJob(); });
}

void OnSecondProgramButton() {
    RunCommand([] {
        App.PicoPort = BoxText(Window.PortBox);
        FirmwareReset();
    });
}

void OnPortBoxChosen() {
    RunCommand([] { App.Comport = BoxText(Window.PortBox); });
}

void OnBaudBoxChosen() {
    RunCommand([] { App.SerialSpeed = BoxText(Window.BaudBox); });
}

void OnDeviceBoxChosen() {
    RunCommand([] { App.Device = BoxText(Window.DeviceBox); });
}

void OnCollectionBoxChosen() {
    RunCommand([] {
        int chosen = Window.CollectionBox.Selected;
        if (chosen >= 0 && static_cast<size_t>(chosen) < App.Collection.size())
            SetCollectionEntry(App.Collection[static_cast<size_t>(chosen)]);
    });
}

void AddCollectionEntry() {
    RunCommand([] {
        CollectionEntryParts entry = SplitCollectionEntry(Window.CollectionEntry);
        Text name = TrimBlanks(entry.Name);
        Text options = TrimBlanks(entry.Options);
        if (!options.empty() && !StartsWith(options, u"'onload") &&
            !StartsWith(options, u"' onload"))
            options = u"'onload " + options;
        App.Collection.push_back(name + u"|" + options);
        Window.CollectionBox.Items.push_back(name);
        RenderControl(ControlId::CollectionBox);
    });
}

void OnPasteCode() {
    RunCommand([] { UploadPastedText(ClipboardText()); });
}

void OnTextDropped(TextView text) {
    RunCommand([text] { UploadPastedText(Text(text)); });
}

void OnFilesDropped(TextView paths, UploadAs as) {
    RunCommand([paths, as] {
        Text first(paths.substr(0, paths.find(u'\n')));
        if (!first.empty() && first.back() == u'\r') first.pop_back();
        App.ProgramPath = first;
        App.TextFromPaste = false;
        ClearLog();
        AppendLog(App.ProgramPath);
        UploadFile(App.ProgramPath, as);
    });
}

void OnSaveReport() {
    RunCommand([] { SaveReport(); });
}

void OnCommandLineFile() {
    RunCommand([] {
        if (App.ProgramPath.empty()) return;
        ClearLog();
        AppendLog(App.ProgramPath);
        if (LowerExtension(App.ProgramPath) == u"uf2") {
            if (Text problem = FirmwareFileProblem(App.ProgramPath); !problem.empty())
                AppendLog(u"Firmware not installed: " + problem);  // and no reset
            else
                FirmwareReset();
        } else {
            App.ProgramText = ReadProgramFile(App.ProgramPath);
            RunUploadJob();
        }
    });
}
