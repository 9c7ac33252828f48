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

  PointAt(Item(IDC_BROWSE));
  ASSERT_TRUE(WaitUntil([&] { return Panel() == BrowseSentence; }, 5000)) << Panel();
  const DWORD shown = GetTickCount();
  EXPECT_TRUE(WaitUntil([&] { return IsFramed(browse) && IsFramed(panel); }, 1000));
  EXPECT_FALSE(IsFramed(focusFrame));

  // After the hover time the hint describes the focused control; the pointer has not moved.
  ASSERT_TRUE(WaitUntil([&] { return Panel() == focusSentence; }, 6000)) << Panel();
  const DWORD moved = GetTickCount() - shown;
  EXPECT_GE(moved, 3700u);
  EXPECT_LE(moved, 5000u);
  EXPECT_TRUE(WaitUntil([&] { return IsFramed(focusFrame); }, 300));
  EXPECT_TRUE(WaitUntil([&] { return ReadFramePixels(browse) == browseBefore; }, 1000));

  // A focus frame lasts 400 ms; the sentence outlives it.
  EXPECT_TRUE(WaitUntil([&] { return !IsFramed(focusFrame) && ReadFramePixels(panel) == panelBefore; }, 1500));
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
  ASSERT_TRUE(WaitUntil([&] { return !IsFramed(ScreenRectOf(Item(IDC_HINT_PANEL))); }, 2000));
  ASSERT_FALSE(IsFramed(united));

  PointAt(Item(IDC_GROUP_LABEL));
  ASSERT_TRUE(WaitUntil([&] { return Panel() == GroupSentence; }, 5000)) << Panel();
  EXPECT_TRUE(WaitUntil([&] { return IsFramed(united); }, 1000));
  EXPECT_FALSE(IsFramed(combo));  // the left side runs past the label, not along the combo box
}

TEST_F(InputHints, TabOntoInstallShowsItsSentenceAndTheFrameGoesAfter400Ms) {
  HWND install = Item(IDC_INSTALL);
  const RECT installRect = ScreenRectOf(install);
  for (int presses = 0; presses < 12 && FocusOfDialog() != install; ++presses) {
    const HWND before = FocusOfDialog();
    TapKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() != before; }, 3000));
  }
  ASSERT_EQ(FocusOfDialog(), install);
  ASSERT_TRUE(WaitUntil([&] { return Panel() == InstallSentence; }, 3000)) << Panel();
  ASSERT_TRUE(WaitUntil([&] { return IsFramed(installRect); }, 300));
  const DWORD framed = GetTickCount();
  ASSERT_TRUE(WaitUntil([&] { return !IsFramed(installRect); }, 2000));
  const DWORD lasted = GetTickCount() - framed;
  EXPECT_GE(lasted, 250u);
  EXPECT_LE(lasted, 1000u);
  EXPECT_EQ(Panel(), InstallSentence);
}

TEST_F(InputHints, ClickOnThePanelReturnsTheFocusToTheLastHintedControl) {
  FocusField(IDC_FOLDER_LABEL, Item(IDC_FOLDER));
  PointAt(Item(IDC_BROWSE));
  ASSERT_TRUE(WaitUntil([&] { return Panel() == BrowseSentence; }, 5000)) << Panel();

  PointAt(Item(IDC_HINT_PANEL));
  PressLeft();
  ReleaseLeft();
  // The panel holds the capture while the button is down: wait for the release too.
  EXPECT_TRUE(WaitUntil([&] { return FocusOfDialog() == Item(IDC_BROWSE) && Capture() == nullptr; }, 3000));
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
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(Item(IDC_GROUP), CB_GETDROPPEDSTATE, 0, 0) != 0; }, 3000));
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(Item(IDC_GROUP), CB_GETDROPPEDSTATE, 0, 0) == 0; }, 3000));
  // Escape closed the list, not the dialog, and asked nothing.
  EXPECT_TRUE(setup.Running());
  EXPECT_EQ(setup.FindOtherWindow(), nullptr);
}

}  // namespace
