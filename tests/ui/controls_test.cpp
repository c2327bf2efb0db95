#include <gtest/gtest.h>

#include "app/state.h"
#include "ui/controls.h"

namespace {

TEST(Controls, SelectByTextIgnoresCaseAndKeepsTheSelectionOnNoMatch) {
    ComboBox box{{u"COM7", u"COM3"}, -1, {}};
    SelectByText(box, u"com3");
    EXPECT_EQ(BoxText(box), u"COM3");
    SelectByText(box, u"not set");
    EXPECT_EQ(box.Selected, 1);
    SelectByText(box, u"");
    EXPECT_EQ(box.Selected, -1);
    EXPECT_EQ(BoxText(box), u"");
}

TEST(Controls, FreshWindowFromSettings) {
    ResetAppState();
    App.SerialSpeed = u"12345";  // not an item: no selection
    App.Device = u"MICROMITE";   // selects micromite, Device keeps its capitals
    App.Collection = {u"Manual entry", u"box|'onload cmm2", u"box|'onload micromite"};
    App.LastUsed = 2;
    BuildControls();
    EXPECT_EQ(Window.BaudBox.Selected, -1);
    EXPECT_EQ(BoxText(Window.DeviceBox), u"micromite");
    EXPECT_EQ(App.Device, u"MICROMITE");
    // Two entries of the same name: the entry box gets the second, the box selects the first.
    EXPECT_EQ(Window.CollectionEntry, u"box|'onload micromite");
    EXPECT_EQ(Window.CollectionBox.Selected, 1);
    EXPECT_FALSE(Window.ProgramShown || Window.CancelShown || Window.SecondProgramShown);

    App.LastUsed = 9;  // beyond the list: the first entry is shown
    BuildControls();
    EXPECT_EQ(Window.CollectionEntry, u"Manual entry");
    ResetAppState();
}

TEST(Controls, LogPaneFollowsTheWindowSize) {
    Placement p = LogPanePlacement(468, 287);
    EXPECT_EQ(p.Left, 10);
    EXPECT_EQ(p.Top, 75);
    EXPECT_EQ(p.Width, 448);
    EXPECT_EQ(p.Height, 202);
    p = LogPanePlacement(800, 600);
    EXPECT_EQ(p.Width, 780);
    EXPECT_EQ(p.Height, 515);
}

}  // namespace
