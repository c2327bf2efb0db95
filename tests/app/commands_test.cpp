#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

class Commands : public ::testing::Test {
protected:
    void SetUp() override { StartFreshCore(); }
};

TEST_F(Commands, SaveSettingsAddsAnOptionsEntry) {
    Window.CollectionEntry = u" mybox | cmm2 com5:115200 ";
    AddCollectionEntry();
    ASSERT_EQ(App.Collection.size(), 2u);
    EXPECT_EQ(App.Collection[1], u"mybox|'onload cmm2 com5:115200");
    EXPECT_EQ(Window.CollectionBox.Items.back(), u"mybox");

    Window.CollectionEntry = u"plain|";
    AddCollectionEntry();
    EXPECT_EQ(App.Collection[2], u"plain|");

    // Options that already start with the directive (case counts) are kept as they are.
    Window.CollectionEntry = u"x|' onload micromite";
    AddCollectionEntry();
    EXPECT_EQ(App.Collection[3], u"x|' onload micromite");
    Window.CollectionEntry = u"y|'ONLOAD micromite";
    AddCollectionEntry();
    EXPECT_EQ(App.Collection[4], u"y|'onload 'ONLOAD micromite");
}

TEST_F(Commands, ChoosingAnEntryFillsTheEntryBox) {
    App.Collection.push_back(u"box|'onload cmm2");
    BuildControls();
    Window.CollectionBox.Selected = 1;
    OnCollectionBoxChosen();
    EXPECT_EQ(Window.CollectionEntry, u"box|'onload cmm2");
}

TEST_F(Commands, BoxesStoreTheirText) {
    SelectByText(Window.BaudBox, u"9600");
    OnBaudBoxChosen();
    EXPECT_EQ(App.SerialSpeed, u"9600");
    SelectByText(Window.DeviceBox, u"cmm2");
    OnDeviceBoxChosen();
    EXPECT_EQ(App.Device, u"cmm2");
}

TEST_F(Commands, ProgramWithNothingLoadedAndAnEmptyClipboard) {
    OnProgramButton();
    EXPECT_EQ(LogText(), u"Nothing to load.");
    AppendLog(u"old");
    Cli.Clipboard.clear();
    OnPasteCode();
    EXPECT_EQ(LogText(), u"Nothing to load.");  // cleared first
    EXPECT_TRUE(App.TextFromPaste);
}

}  // namespace
