// The hint panel and the focus frame of the real installer under real input: hover over a button
// and over a field's label, Tab onto Install, a click on the panel, and Down in the group field.
// The frame is checked on the screen's pixels: drawn in the frame colour, then erased to what was there.
#include "tests/wine/input_driver.h"

#include "app/hints.h"

using namespace input_driver;

namespace {

constexpr const char* BrowseSentence = "Explore and choose a destination from the existing folders";
constexpr const char* GroupSentence = "Accept the suggested default or choose another Windows Start Group name";
constexpr const char* InstallSentence =
    "Install will copy this publication to your system, after above information is entered";

class InputHints : public InstallerInput {
 protected:
  // The screen rectangle the frame surrounds for a control: a field together with its label.
  RECT FramedRectOf(HWND control) const {
    HWND parent = GetParent(control);
    if (parent != dialog) control = parent;
    RECT rect = ScreenRectOf(control);
    const int id = GetDlgCtrlID(control);
    if (id == IDC_GROUP || id == IDC_FOLDER) {
      const RECT label = ScreenRectOf(Item(id + 5));
      UnionRect(&rect, &rect, &label);
    }
    return rect;
  }
  std::string SentenceFor(HWND control) const {
    HWND parent = GetParent(control);
    return HintTextFor(GetDlgCtrlID(parent != dialog ? parent : control));
  }
};

TEST_F(InputHints, HoverFramesBrowseThenTheHintMovesToTheFocusedControl) {
  HWND focused = FocusOfDialog();
  ASSERT_NE(focused, Item(IDC_BROWSE));
  const std::string focusSentence = SentenceFor(focused);
  ASSERT_FALSE(focusSentence.empty());
  const RECT browse = ScreenRectOf(Item(IDC_BROWSE)), panel = ScreenRectOf(Item(IDC_HINT_PANEL));
  const RECT focusFrame = FramedRectOf(focused);
  const FramePixels browseBefore = ReadFramePixels(browse), panelBefore = ReadFramePixels(panel);
  ASSERT_FALSE(IsFramed(browse));

  // The hint timer is held each time it falls due, so each frame is looked at while it must still
  // be on the screen, however late this process gets to look. Durations are only bounded below:
  // a busy machine makes them longer, never shorter.
  MessageHold timer;
  ASSERT_TRUE(BeginHold(setup, KindHoldHintTimer, timer));
  const DWORD pointed = GetTickCount();
  PointAt(Item(IDC_BROWSE));
  ASSERT_TRUE(WaitForHold(setup, timer)) << "the hover hint never timed out";
  EXPECT_GE(GetTickCount() - pointed, 3700u);
  EXPECT_EQ(HeldHintText(timer), BrowseSentence);
  EXPECT_TRUE(IsFramed(browse) && IsFramed(panel));
  EXPECT_FALSE(IsFramed(focusFrame));

  // After the hover time the hint describes the focused control; the pointer has not moved.
  const DWORD released = GetTickCount();
  ReleaseHold(timer);
  ASSERT_TRUE(WaitForHold(setup, timer)) << "the focus frame never timed out";
  EXPECT_GE(GetTickCount() - released, 250u);
  EXPECT_EQ(HeldHintText(timer), focusSentence);
  EXPECT_TRUE(IsFramed(focusFrame));
  EXPECT_TRUE(ReadFramePixels(browse) == browseBefore);
  EndHold(timer);

  // A focus frame lasts 400 ms; the sentence outlives it.
  EXPECT_TRUE(WaitUntil([&] { return !IsFramed(focusFrame) && ReadFramePixels(panel) == panelBefore; }));
  EXPECT_EQ(Panel(), focusSentence);
}

TEST_F(InputHints, PointerOverTheGroupLabelFramesTheComboBoxWithItsLabel) {
  // The focus elsewhere, so that the group field is not already the last hinted control.
  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  PointAt(Item(IDC_FOLDER));
  ASSERT_EQ(TextOf(Item(IDC_GROUP_LABEL)), "Start &Menu:");
  RECT united;
  const RECT label = ScreenRectOf(Item(IDC_GROUP_LABEL)), combo = ScreenRectOf(Item(IDC_GROUP));
  UnionRect(&united, &label, &combo);
  ASSERT_LT(label.left, combo.left);
  ASSERT_TRUE(WaitUntil([&] { return !IsFramed(ScreenRectOf(Item(IDC_HINT_PANEL))); }));
  ASSERT_FALSE(IsFramed(united));

  // Held when the hover ends, so the frame is looked at while it must be there.
  MessageHold timer;
  ASSERT_TRUE(BeginHold(setup, KindHoldHintTimer, timer));
  PointAt(Item(IDC_GROUP_LABEL));
  ASSERT_TRUE(WaitForHold(setup, timer)) << "the hover hint never timed out";
  EXPECT_EQ(HeldHintText(timer), GroupSentence);
  EXPECT_TRUE(IsFramed(united));
  EXPECT_FALSE(IsFramed(combo));  // the left side runs past the label, not along the combo box
  EndHold(timer);
}

TEST_F(InputHints, TabOntoInstallShowsItsSentenceAndTheFrameGoesAfter400Ms) {
  HWND install = Item(IDC_INSTALL);
  const RECT installRect = ScreenRectOf(install);
  // Tab to the control before Install and let its frame end, so that no hint timer is pending when
  // the hold begins; then the last Tab, with the frame's timer held when it falls due.
  HWND before = GetNextDlgTabItem(dialog, install, TRUE);
  for (int presses = 0; presses < 12 && FocusOfDialog() != before; ++presses) {
    const HWND left = FocusOfDialog();
    TapKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() != left; }));
  }
  ASSERT_EQ(FocusOfDialog(), before);
  ASSERT_TRUE(WaitUntil([&] { return Panel() == SentenceFor(before) && !IsFramed(FramedRectOf(before)); }));
  MessageHold timer;
  ASSERT_TRUE(BeginHold(setup, KindHoldHintTimer, timer));
  const DWORD tapped = GetTickCount();
  TapKey(VK_TAB);
  ASSERT_TRUE(WaitForHold(setup, timer)) << "the focus frame never timed out";
  EXPECT_GE(GetTickCount() - tapped, 250u);
  EXPECT_EQ(FocusOfDialog(), install);
  EXPECT_EQ(HeldHintText(timer), InstallSentence);
  EXPECT_TRUE(IsFramed(installRect));
  EndHold(timer);
  EXPECT_TRUE(WaitUntil([&] { return !IsFramed(installRect); }));
  EXPECT_EQ(Panel(), InstallSentence);
}

TEST_F(InputHints, ClickOnThePanelReturnsTheFocusToTheLastHintedControl) {
  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  PointAt(Item(IDC_BROWSE));
  ASSERT_TRUE(WaitUntil([&] { return Panel() == BrowseSentence; })) << Panel();

  PointAt(Item(IDC_HINT_PANEL));
  PressLeft();
  ReleaseLeft();
  // The panel holds the capture while the button is down: wait for the release too.
  EXPECT_TRUE(WaitUntil([&] { return FocusOfDialog() == Item(IDC_BROWSE) && Capture() == nullptr; }));
  EXPECT_EQ(FocusOfDialog(), Item(IDC_BROWSE));
  EXPECT_EQ(Panel(), BrowseSentence);

}

TEST_F(InputHints, DownInTheGroupFieldOpensItsListAndNotInTheFolderField) {
  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  const std::string folder = TextOf(Item(IDC_FOLDER));
  TapKey(VK_DOWN);
  FocusField(IDC_GROUP_LABEL, GroupEdit());
  EXPECT_EQ(TextOf(Item(IDC_FOLDER)), folder);
  EXPECT_EQ(SendMessageA(Item(IDC_GROUP), CB_GETDROPPEDSTATE, 0, 0), 0);

  TapKey(VK_DOWN);
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(Item(IDC_GROUP), CB_GETDROPPEDSTATE, 0, 0) != 0; }));
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(Item(IDC_GROUP), CB_GETDROPPEDSTATE, 0, 0) == 0; }));
  // Escape closed the list, not the dialog, and asked nothing.
  EXPECT_TRUE(setup.Running());
  EXPECT_EQ(setup.FindOtherWindow(), nullptr);
}

}  // namespace
