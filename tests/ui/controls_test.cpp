#include <gtest/gtest.h>

#include "app/session.h"
#include "app/window_model.h"
#include "link/clock_sim.h"
#include "tests/support/test_frontend.h"
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
    TestFrontend front;
    SimClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Session s(front, *port, clock);
    s.App.SerialSpeed = u"12345";  // not an item: no selection
    s.App.Device = u"MICROMITE";   // selects micromite, Device keeps its capitals
    s.App.Collection = {u"Manual entry", u"box|'onload cmm2", u"box|'onload micromite"};
    s.App.LastUsed = 2;
    BuildControls(s);
    EXPECT_EQ(s.Window.BaudBox.Selected, -1);
    EXPECT_EQ(BoxText(s.Window.DeviceBox), u"micromite");
    EXPECT_EQ(s.App.Device, u"MICROMITE");
    // Two entries of the same name: the entry box gets the second, the box selects the first.
    EXPECT_EQ(s.Window.CollectionEntry, u"box|'onload micromite");
    EXPECT_EQ(s.Window.CollectionBox.Selected, 1);
    EXPECT_FALSE(s.Window.ProgramShown || s.Window.CancelShown || s.Window.SecondProgramShown);

    s.App.LastUsed = 9;  // beyond the list: the first entry is shown
    BuildControls(s);
    EXPECT_EQ(s.Window.CollectionEntry, u"Manual entry");
}

// A count keeps its numbers beside the label it has always shown; any other label drops them.
TEST(Controls, ProgressCountsAreKeptAsNumbers) {
    TestFrontend front;
    View v(front);
    SetProgress(v, 1, 250);
    EXPECT_EQ(front.ProgressLabel, u" 1/250");
    SetProgress(v, 240, 250);
    EXPECT_EQ(front.ProgressLabel, u"240/250");
    EXPECT_EQ(v.Window.ProgressDone, 240);
    EXPECT_EQ(v.Window.ProgressTotal, 250);
    SetProgressLabel(v, u"");
    EXPECT_EQ(front.ProgressLabel, u"");
    EXPECT_EQ(v.Window.ProgressDone, 0);
    EXPECT_EQ(v.Window.ProgressTotal, 0);
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
