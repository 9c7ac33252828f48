// The two text fields on a stand-in dialog: limits and subclassing, buffers following the texts,
// the Suggested rule, select-all on focus, Down, label clicks and plain clicks inside a selection.
#include <gtest/gtest.h>

#include "app/drag_drop.h"
#include "tests/wine/field_dialog.h"

using namespace field_dialog;

namespace {

class TextFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog = Open(); }
  void TearDown() override { Close(dialog); }
  void Type(HWND editBox, const char* text) {
    SendMessageA(editBox, EM_SETSEL, 0, -1);
    for (const char* p = text; *p; ++p) SendMessageA(editBox, WM_CHAR, static_cast<unsigned char>(*p), 1);
    Pump();
  }
  HWND dialog = nullptr;
};

TEST_F(TextFieldsTest, LimitsAndSubclassBothEditBoxes) {
  EXPECT_EQ(SendMessageA(Item(IDC_FOLDER), EM_GETLIMITTEXT, 0, 0), 195);
  EXPECT_EQ(SendMessageA(GroupEdit(), EM_GETLIMITTEXT, 0, 0), 64);
  const LONG_PTR ours = reinterpret_cast<LONG_PTR>(FieldEditProc);
  EXPECT_EQ(GetWindowLongPtrA(Item(IDC_FOLDER), GWLP_WNDPROC), ours);
  EXPECT_EQ(GetWindowLongPtrA(GroupEdit(), GWLP_WNDPROC), ours);
  // a second set-up must not chain the procedure to itself
  SetUpFields(dialog);
  Type(Item(IDC_FOLDER), "D:\\x");
  EXPECT_EQ(TextOf(Item(IDC_FOLDER)), "D:\\x");
}

TEST_F(TextFieldsTest, TypingRefreshesBuffersAndSuggestedRule) {
  HWND suggested = Item(IDC_SUGGESTED);
  EXPECT_FALSE(IsWindowEnabled(suggested));
  struct Case { const char* typed; bool suggestedEnabled; };
  const Case cases[] = {{"statorix", true}, {"Statorix", false}, {"Statorix ", true}, {"Statori", true},
                        {"Statorix", false}};
  for (const Case& c : cases) {
    Type(GroupEdit(), c.typed);
    EXPECT_STREQ(setup.groupName, c.typed);
    EXPECT_EQ(IsWindowEnabled(suggested) != FALSE, c.suggestedEnabled) << c.typed;
  }
  Type(Item(IDC_FOLDER), "D:\\Books");
  EXPECT_STREQ(setup.folder, "D:\\Books");
}

TEST_F(TextFieldsTest, BuffersCutToTheFieldLimits) {
  const std::string longGroup(90, 'g'), longFolder(230, 'f');
  SetWindowTextA(Item(IDC_GROUP), longGroup.c_str());
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_GROUP, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(Item(IDC_GROUP)));
  EXPECT_EQ(std::string(setup.groupName), std::string(64, 'g'));
  SetWindowTextA(Item(IDC_FOLDER), longFolder.c_str());
  EXPECT_EQ(std::string(setup.folder), std::string(195, 'f'));  // EN_CHANGE of WM_SETTEXT refreshes it
}

// The list choice reaches the edit box only after the selection notification: the buffer must be
// read when the re-posted notification arrives, not at once.
TEST_F(TextFieldsTest, ListChoiceReadAfterTheEditBoxShowsIt) {
  HWND combo = Item(IDC_GROUP);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Accessories"));
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_GROUP, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_STREQ(setup.groupName, "Statorix");
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  Pump();
  EXPECT_STREQ(setup.groupName, "Accessories");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_SUGGESTED)));
}

TEST_F(TextFieldsTest, FocusSelectsWholeTextAndHintsField) {
  SetFocus(Item(IDC_INSTALL));
  Pump();
  SetFocus(Item(IDC_FOLDER));
  Pump();
  const DWORD folderSelection = static_cast<DWORD>(SendMessageA(Item(IDC_FOLDER), EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(folderSelection), 0);
  EXPECT_EQ(HIWORD(folderSelection), lstrlenA(setup.folder));
  EXPECT_EQ(hint.trackedFocus, Item(IDC_FOLDER));
  EXPECT_EQ(TextOf(Item(IDC_HINT_PANEL)), "Accept the default or choose an alternative local machine folder");

  SetFocus(GroupEdit());
  Pump();
  const DWORD groupSelection = static_cast<DWORD>(SendMessageA(GroupEdit(), EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(groupSelection), 0);
  EXPECT_EQ(HIWORD(groupSelection), 8);
  EXPECT_EQ(hint.trackedFocus, GroupEdit());
  EXPECT_EQ(hint.hintTarget, GroupEdit());

  // typing erases the frame and keeps the sentence
  Type(GroupEdit(), "Other");
  EXPECT_EQ(hint.hintTarget, nullptr);
  EXPECT_EQ(TextOf(Item(IDC_HINT_PANEL)), "Accept the suggested default or choose another Windows Start Group name");
}

TEST_F(TextFieldsTest, DownOpensGroupListOnlyWhenClosed) {
  HWND combo = Item(IDC_GROUP);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Accessories"));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Games"));
  SetFocus(GroupEdit());
  Pump();
  SendMessageA(GroupEdit(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  SendMessageA(combo, CB_SHOWDROPDOWN, 0, 0);
  // Down in the folder field is an edit box's Down: nothing opens, text unchanged
  SendMessageA(Item(IDC_FOLDER), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_STREQ(setup.folder, "C:\\Program Files\\xan");
}

TEST_F(TextFieldsTest, LabelClickFocusesItsEnabledField) {
  auto clickAt = [&](HWND window) {
    POINT point = CentreOf(window);
    ScreenToClient(dialog, &point);
    return OnLabelClick(dialog, 0, MAKELPARAM(point.x, point.y));
  };
  SetFocus(Item(IDC_INSTALL));
  EXPECT_EQ(clickAt(Item(IDC_FOLDER_LABEL)), TRUE);
  EXPECT_EQ(GetFocus(), Item(IDC_FOLDER));
  clickAt(Item(IDC_GROUP_LABEL));
  EXPECT_EQ(GetFocus(), GroupEdit());

  SetFocus(Item(IDC_INSTALL));
  SendMessageA(dialog, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));  // empty surface
  EXPECT_EQ(GetFocus(), Item(IDC_INSTALL));

  EnableWindow(Item(IDC_FOLDER), FALSE);
  EnableWindow(Item(IDC_FOLDER_LABEL), FALSE);
  clickAt(Item(IDC_FOLDER_LABEL));
  EXPECT_EQ(GetFocus(), Item(IDC_INSTALL));
}

// Without OLE no drag can start: a press inside the selection is an ordinary click, and Shift
// with a press extends the selection.
TEST_F(TextFieldsTest, PressInsideSelectionWithoutDragPlacesCaret) {
  ASSERT_FALSE(drag.available);
  HWND folder = Item(IDC_FOLDER);
  SetFocus(folder);
  Pump();
  SendMessageA(folder, EM_SETSEL, 0, -1);
  const LRESULT position = SendMessageA(folder, EM_POSFROMCHAR, 5, 0);
  const LPARAM at = MAKELPARAM(LOWORD(position) + 1, HIWORD(position) + 2);
  SendMessageA(folder, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(folder, WM_LBUTTONUP, 0, at);
  const DWORD selection = static_cast<DWORD>(SendMessageA(folder, EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(selection), HIWORD(selection));
  EXPECT_GE(LOWORD(selection), 4);
  EXPECT_LE(LOWORD(selection), 6);

  SendMessageA(folder, EM_SETSEL, 0, 2);
  SendMessageA(folder, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, at);
  SendMessageA(folder, WM_LBUTTONUP, 0, at);
  const DWORD extended = static_cast<DWORD>(SendMessageA(folder, EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(extended), 0);
  EXPECT_GE(HIWORD(extended), 4);
}

}  // namespace
