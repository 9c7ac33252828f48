// Dragging the folder field's selected text with the real mouse through OLE's own drag loop:
// moved or (with Control) copied into the group field, refused over its own field and over a
// button, and cancelled by Escape with the selection left as it was.
#include "tests/wine/input_driver.h"

using namespace input_driver;

namespace {

constexpr const char* GroupSentence = "Accept the suggested default or choose another Windows Start Group name";

class InputDrag : public InstallerInput {
 protected:
  void SetUp() override {
    InstallerInput::SetUp();
    if (HasFatalFailure()) return;
    folder = Item(IDC_FOLDER);
    FocusField(IDC_FOLDER_LABEL, folder);
    if (HasFatalFailure()) return;
    folderText = TextOf(folder);
    groupText = TextOf(GroupEdit());
    ASSERT_GE(folderText.size(), 6u) << folderText;
    // A selection inside the text, so that a move visibly leaves both of its ends behind.
    SendMessageA(folder, EM_SETSEL, 1, folderText.size() - 1);
    selection = Selection(folder);
    ASSERT_EQ(selection, MAKELONG(1, folderText.size() - 1));
    dragged = folderText.substr(1, folderText.size() - 2);
  }

  // Screen point in the middle of a character of the folder field.
  POINT CharacterPoint(int index) const {
    const LRESULT here = SendMessageA(folder, EM_POSFROMCHAR, index, 0);
    const LRESULT next = SendMessageA(folder, EM_POSFROMCHAR, index + 1, 0);
    POINT point{(static_cast<short>(LOWORD(here)) + static_cast<short>(LOWORD(next))) / 2,
                static_cast<short>(HIWORD(here)) + 4};
    ClientToScreen(folder, &point);
    return point;
  }
  // Presses inside the selection: the installer enters OLE's drag loop, which captures the mouse
  // with a window of its own (an ordinary click leaves the capture with the edit box).
  void StartDrag(int character = 2) {
    MovePointer(CharacterPoint(character));
    PressLeft();
    ASSERT_TRUE(WaitUntil([&] { return Capture() != nullptr && Capture() != folder; })) << "no drag loop";
  }
  // Over the group field the drop target frames it and shows its sentence.
  void DragOverGroup() {
    const RECT group = ScreenRectOf(GroupEdit());
    MovePointer(POINT{group.left + 4, (group.top + group.bottom) / 2});
    MovePointer(CentreOf(group));
    ASSERT_TRUE(WaitUntil([&] { return Panel() == GroupSentence; })) << Panel();
  }
  void Drop() {
    ReleaseLeft();
    ASSERT_TRUE(WaitUntil([&] { return Capture() == nullptr; })) << "the drag loop did not end";
  }
  void ExpectNothingChanged() {
    EXPECT_EQ(TextOf(folder), folderText);
    EXPECT_EQ(TextOf(GroupEdit()), groupText);
  }

  HWND folder = nullptr;
  std::string folderText, groupText, dragged;
  DWORD selection = 0;
};

TEST_F(InputDrag, DropOnTheGroupFieldMovesTheSelection) {
  StartDrag();
  DragOverGroup();
  Drop();
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GroupEdit()) == dragged; })) << TextOf(GroupEdit());
  const std::string left = folderText.substr(0, 1) + folderText.substr(folderText.size() - 1);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(folder) == left; })) << TextOf(folder);
  EXPECT_TRUE(WaitUntil([&] { return FocusOfDialog() == GroupEdit(); }));
}

TEST_F(InputDrag, DropWithControlHeldCopiesTheSelection) {
  StartDrag();
  DragOverGroup();
  SendKey(VK_CONTROL, false);
  MovePointer(CentreOf(ScreenRectOf(GroupEdit())));
  Drop();
  SendKey(VK_CONTROL, true);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GroupEdit()) == dragged; })) << TextOf(GroupEdit());
  EXPECT_EQ(TextOf(folder), folderText);
}

TEST_F(InputDrag, DropsOntoItsOwnFieldOrAButtonAreRefused) {
  StartDrag();
  MovePointer(CharacterPoint(static_cast<int>(folderText.size()) - 1));
  Drop();
  ExpectNothingChanged();

  SendMessageA(folder, EM_SETSEL, 1, folderText.size() - 1);
  ASSERT_EQ(Selection(folder), selection);
  StartDrag(4);  // not where the last press was: that would be a double click
  DragOverGroup();  // first accepted, then refused where it ends
  PointAt(Item(IDC_BROWSE));
  ASSERT_TRUE(WaitUntil([&] { return Panel() != GroupSentence; })) << Panel();
  Drop();
  ExpectNothingChanged();
  EXPECT_TRUE(setup.Running());
  EXPECT_EQ(setup.FindOtherWindow(), nullptr);  // the button was not pressed: no folder browser
}

TEST_F(InputDrag, EscapeCancelsTheDragAndKeepsTheSelection) {
  StartDrag();
  DragOverGroup();
  TapKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return Capture() == nullptr; })) << "Escape did not end the drag";
  ReleaseLeft();
  ExpectNothingChanged();
  EXPECT_EQ(Selection(folder), selection);
  EXPECT_EQ(FocusOfDialog(), folder);
  EXPECT_TRUE(setup.Running());  // the Escape ended the drag, not the dialog
}

}  // namespace
