#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/window_model.h"
#include "tests/settings/scratch_folder.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

class Commands : public ::testing::Test, protected FreshCore {};

// At close the settings file takes the window's place from the window itself, and a file
// that cannot be written is said so, in the log and to the caller that tells the user.
TEST_F(Commands, CloseWritesTheWindowsPlaceAndSaysWhenTheFileCannotBeWritten) {
    ScratchFolder folder;
    const Text path = Text((folder / "Pellimor.inf").u16string());
    StartupBeforeWindow(S, {}, path);
    Front.Geometry = {-1280, 0, 800, 600};
    EXPECT_EQ(FinishAfterClose(S, path), u"");
    EXPECT_NE(ReadBytes(folder / "Pellimor.inf")
                  .find("MainX = -1280\r\nMainY = 0\r\nMainW = 800\r\nMainH = 600\r\n"),
              std::string::npos);

    std::ofstream(folder / "a file") << "not a folder";
    const Text nowhere = Text((folder / "a file" / "Pellimor.inf").u16string());
    Text failure = FinishAfterClose(S, nowhere);
    EXPECT_NE(failure, u"");
    EXPECT_NE(LogText(S).find(u"Settings not saved: " + failure), Text::npos);
}

TEST_F(Commands, SaveSettingsAddsAnOptionsEntry) {
    S.Window.CollectionEntry = u" mybox | cmm2 com5:115200 ";
    AddCollectionEntry(S);
    ASSERT_EQ(S.App.Collection.size(), 2u);
    EXPECT_EQ(S.App.Collection[1], u"mybox|'onload cmm2 com5:115200");
    EXPECT_EQ(S.Window.CollectionBox.Items.back(), u"mybox");

    S.Window.CollectionEntry = u"plain|";
    AddCollectionEntry(S);
    EXPECT_EQ(S.App.Collection[2], u"plain|");

    // Options that already start with the directive (in any case) are kept as they are.
    S.Window.CollectionEntry = u"x|' onload micromite";
    AddCollectionEntry(S);
    EXPECT_EQ(S.App.Collection[3], u"x|' onload micromite");
    S.Window.CollectionEntry = u"y|'ONLOAD micromite";
    AddCollectionEntry(S);
    EXPECT_EQ(S.App.Collection[4], u"y|'ONLOAD micromite");
}

TEST_F(Commands, ChoosingAnEntryFillsTheEntryBox) {
    S.App.Collection.push_back(u"box|'onload cmm2");
    BuildControls(S);
    S.Window.CollectionBox.Selected = 1;
    OnCollectionBoxChosen(S);
    EXPECT_EQ(S.Window.CollectionEntry, u"box|'onload cmm2");
}

TEST_F(Commands, BoxesStoreTheirText) {
    SelectByText(S.Window.BaudBox, u"9600");
    OnBaudBoxChosen(S);
    EXPECT_EQ(S.App.SerialSpeed, u"9600");
    SelectByText(S.Window.DeviceBox, u"cmm2");
    OnDeviceBoxChosen(S);
    EXPECT_EQ(S.App.Device, u"cmm2");
}

TEST_F(Commands, ProgramWithNothingLoadedAndAnEmptyClipboard) {
    OnProgramButton(S);
    EXPECT_EQ(LogText(S), u"Nothing to load.");
    AppendLog(S, u"old");
    Front.Clipboard.clear();
    OnPasteCode(S);
    EXPECT_EQ(LogText(S), u"Nothing to load.");  // cleared first
    EXPECT_TRUE(S.App.TextFromPaste);
}

}  // namespace
