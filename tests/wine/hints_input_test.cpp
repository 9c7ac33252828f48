// The hints and fields of the real installer driven with real input (SendInput): hover, label
// clicks and typing into the group field, read back across the process boundary.
#include "tests/wine/input_driver.h"

using namespace input_driver;

namespace {

class HintsInputTest : public InstallerInput {};

TEST_F(HintsInputTest, HoverLabelClicksAndSuggestedRule) {
  PointAt(Item(IDC_BROWSE));
  EXPECT_TRUE(WaitUntil([&] { return Panel() == "Explore and choose a destination from the existing folders"; }))
      << Panel();

  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  HWND suggested = Item(IDC_SUGGESTED);
  EXPECT_FALSE(IsWindowEnabled(suggested));
  FocusField(IDC_GROUP_LABEL, GroupEdit());  // waits for the select-all the focus posts
  TypeKeys("statorix");
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GroupEdit()) == "statorix"; })) << TextOf(GroupEdit());
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(suggested) != FALSE; }));

  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  FocusField(IDC_GROUP_LABEL, GroupEdit());
  TypeKeys("Statorix");
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GroupEdit()) == "Statorix"; })) << TextOf(GroupEdit());
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(suggested) == FALSE; }));
}

}  // namespace
