// The hint panel and the focus frame on a stand-in dialog: sentences, frame placement, the timer
// and dialog markers, hover, the wait cursor, colour requests, activation and scheme rebuilds.
#include <gtest/gtest.h>

#include "tests/wine/field_dialog.h"

using namespace field_dialog;

namespace {

class HintsTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog = Open(); }
  void TearDown() override { Close(dialog); }
  std::string Panel() { return TextOf(Item(IDC_HINT_PANEL)); }
  RECT ClientRectOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  HWND dialog = nullptr;
};

TEST_F(HintsTest, SentencesForEveryControl) {
  struct Case { int id; const char* text; };
  const Case cases[] = {
      {IDC_INSTALL, "Install will copy this publication to your system, after above information is entered"},
      {IDC_EXIT_OPEN, "Exit leaves this installer now"},
      {IDC_GROUP, "Accept the suggested default or choose another Windows Start Group name"},
      {IDC_FOLDER, "Accept the default or choose an alternative local machine folder"},
      {IDC_BROWSE, "Explore and choose a destination from the existing folders"},
      {IDC_SUGGESTED, "Accept the suggested default or choose another Windows Start Group name"},
      {IDC_UNINSTALL, "Uninstall removes the publication from your system"},
      {IDC_STATUS, ""},
      {IDC_UNNAMED, ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(HintTextFor(c.id), c.text) << c.id;
  setup.installed = true;
  EXPECT_STREQ(HintTextFor(IDC_EXIT_OPEN), "Open proceeds to use the publication");
}

TEST_F(HintsTest, ShowHintFramesControlAndPanelAndKeepsTextAfterErase) {
  HWND browse = Item(IDC_BROWSE);
  ShowHint(browse);
  EXPECT_EQ(Panel(), "Explore and choose a destination from the existing folders");
  EXPECT_EQ(hint.hintTarget, browse);
  EXPECT_EQ(hint.lastHinted, browse);
  RECT expected = ClientRectOf(browse);
  InflateRect(&expected, 3, 3);
  EXPECT_TRUE(EqualRect(&hint.frames[ControlFrame], &expected));
  RECT panel = ClientRectOf(Item(IDC_HINT_PANEL));
  InflateRect(&panel, 3, 3);
  EXPECT_TRUE(EqualRect(&hint.frames[PanelFrame], &panel));

  // The frame is drawn in the frame brush's colour, just outside the control.
  LOGBRUSH frame{};
  GetObjectA(colours.frameBrush, sizeof frame, &frame);
  HDC context = GetDC(dialog);
  COLORREF pixel = GetPixel(context, expected.left, (expected.top + expected.bottom) / 2);
  ReleaseDC(dialog, context);
  EXPECT_EQ(pixel, frame.lbColor);

  ShowHint(nullptr);
  EXPECT_EQ(hint.hintTarget, nullptr);
  EXPECT_EQ(hint.lastHinted, browse);
  EXPECT_EQ(Panel(), "Explore and choose a destination from the existing folders");
}

TEST_F(HintsTest, GroupFieldHintFramesEditBoxWithLabel) {
  ShowHint(Item(IDC_GROUP));
  EXPECT_EQ(hint.hintTarget, GroupEdit());
  EXPECT_EQ(Panel(), "Accept the suggested default or choose another Windows Start Group name");
  RECT combo = ClientRectOf(Item(IDC_GROUP)), label = ClientRectOf(Item(IDC_GROUP_LABEL)), united;
  UnionRect(&united, &combo, &label);
  InflateRect(&united, 3, 3);
  EXPECT_TRUE(EqualRect(&hint.frames[ControlFrame], &united));
}

TEST_F(HintsTest, TimerMovesHoverHintToFocusThenErases) {
  HWND folder = Item(IDC_FOLDER);
  SetFocus(folder);
  ShowHint(nullptr);
  ShowHint(Item(IDC_BROWSE));
  ASSERT_EQ(hint.hintTarget, Item(IDC_BROWSE));
  SendMessageA(dialog, WM_TIMER, HintTimerId, 0);
  EXPECT_EQ(hint.hintTarget, folder);
  EXPECT_EQ(Panel(), "Accept the default or choose an alternative local machine folder");
  SendMessageA(dialog, WM_TIMER, HintTimerId, 0);
  EXPECT_EQ(hint.hintTarget, nullptr);
  // other timers are not ours
  EXPECT_EQ(OnHintTimer(dialog, 7, 0), FALSE);
}

TEST_F(HintsTest, DialogMarkerMovesOnlyAVisibleHint) {
  SetFocus(Item(IDC_INSTALL));
  ShowHint(nullptr);
  ShowHint(dialog);
  EXPECT_EQ(hint.hintTarget, nullptr);
  ShowHint(Item(IDC_UNINSTALL));
  ShowHint(dialog);
  EXPECT_EQ(hint.hintTarget, Item(IDC_INSTALL));
}

TEST_F(HintsTest, RedrawMessageKeepsTargetAndFrame) {
  ShowHint(Item(IDC_BROWSE));
  RECT frame = hint.frames[ControlFrame];
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);  // paints, which posts the redraw request
  Pump();
  EXPECT_EQ(hint.hintTarget, Item(IDC_BROWSE));
  EXPECT_TRUE(EqualRect(&hint.frames[ControlFrame], &frame));
  LOGBRUSH brush{};
  GetObjectA(colours.frameBrush, sizeof brush, &brush);
  HDC context = GetDC(dialog);
  EXPECT_EQ(GetPixel(context, frame.left, (frame.top + frame.bottom) / 2), brush.lbColor);
  ReleaseDC(dialog, context);
}

TEST_F(HintsTest, HoverOverControlsLabelsAndSurface) {
  ASSERT_EQ(GetActiveWindow(), dialog);
  SetFocus(Item(IDC_INSTALL));
  ShowHint(nullptr);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(IDC_BROWSE)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, Item(IDC_BROWSE));

  // the label is transparent: the dialog reports the pointer, the field is hinted
  POINT label = CentreOf(Item(IDC_FOLDER_LABEL));
  SetCursorPos(label.x, label.y);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, Item(IDC_FOLDER));

  // the status line is surface: the visible hint moves to the focused control
  POINT status = CentreOf(Item(IDC_STATUS));
  SetCursorPos(status.x, status.y);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, Item(IDC_INSTALL));

  // the panel itself never hints
  ShowHint(nullptr);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(IDC_HINT_PANEL)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, nullptr);
}

TEST_F(HintsTest, HoverDoesNotRepeatTheLastHint) {
  HWND browse = Item(IDC_BROWSE);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(browse), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  ShowHint(nullptr);  // the frame has gone
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(browse), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, nullptr);
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(IDC_INSTALL)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(browse), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hint.hintTarget, browse);
}

TEST_F(HintsTest, WaitCursorOnlyWhileInstalling) {
  const LPARAM move = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_EQ(OnSetCursor(dialog, reinterpret_cast<WPARAM>(Item(IDC_INSTALL)), move), FALSE);
  setup.installing = true;
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
  EXPECT_EQ(OnSetCursor(dialog, reinterpret_cast<WPARAM>(Item(IDC_INSTALL)), move), TRUE);
  EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_MSGRESULT), TRUE);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
  // hints still follow the pointer during an installation
  EXPECT_EQ(hint.hintTarget, Item(IDC_INSTALL));
  setup.installing = false;
}

TEST_F(HintsTest, ColourRequestsOfPanelStatusAndFocusedButton) {
  HDC context = GetDC(dialog);
  HWND panel = Item(IDC_HINT_PANEL);
  EXPECT_EQ(SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context), reinterpret_cast<LPARAM>(panel)),
            reinterpret_cast<LRESULT>(colours.hintBrush));
  EXPECT_EQ(GetTextColor(context), colours.hintText);
  EXPECT_EQ(GetBkColor(context), colours.hintBackground);

  LRESULT statusBrush = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                                     reinterpret_cast<LPARAM>(Item(IDC_STATUS)));
  EXPECT_NE(statusBrush, 0);
  EXPECT_NE(statusBrush, reinterpret_cast<LRESULT>(colours.hintBrush));
  EXPECT_EQ(GetTextColor(context), colours.statusText);

  // a button reached by Tab announces itself only through its colour request
  HWND install = Item(IDC_INSTALL);
  SetFocus(install);
  ShowHint(nullptr);
  hint.trackedFocus = nullptr;
  EXPECT_EQ(OnControlColour(dialog, reinterpret_cast<WPARAM>(context), reinterpret_cast<LPARAM>(install)), FALSE);
  EXPECT_EQ(hint.hintTarget, install);
  EXPECT_EQ(hint.trackedFocus, install);
  ShowHint(nullptr);
  OnControlColour(dialog, reinterpret_cast<WPARAM>(context), reinterpret_cast<LPARAM>(install));
  EXPECT_EQ(hint.hintTarget, nullptr);  // already tracked: no new hint on every repaint
  ReleaseDC(dialog, context);
}

TEST_F(HintsTest, DeactivationErasesFrameAndForgetsFocus) {
  hint.trackedFocus = Item(IDC_INSTALL);
  ShowHint(Item(IDC_BROWSE));
  SendMessageA(dialog, WM_ACTIVATEAPP, 0, 0);
  EXPECT_EQ(hint.hintTarget, nullptr);
  EXPECT_EQ(hint.trackedFocus, nullptr);
  ShowHint(Item(IDC_BROWSE));
  SendMessageA(dialog, WM_ACTIVATEAPP, 1, 0);
  EXPECT_EQ(hint.hintTarget, Item(IDC_BROWSE));
}

TEST_F(HintsTest, PanelClickReturnsFocusToLastHinted) {
  ShowHint(Item(IDC_BROWSE));
  SetFocus(Item(IDC_HINT_PANEL));
  Pump();
  EXPECT_EQ(GetFocus(), Item(IDC_BROWSE));
}

TEST_F(HintsTest, SchemeRebuildDeletesOldBrushes) {
  HBRUSH oldHint = colours.hintBrush, oldFrame = colours.frameBrush;
  ASSERT_EQ(GetObjectType(oldHint), static_cast<DWORD>(OBJ_BRUSH));
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 5; ++i) SendMessageA(dialog, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(GetObjectType(oldHint), 0u);
  EXPECT_EQ(GetObjectType(oldFrame), 0u);
  EXPECT_EQ(GetObjectType(colours.hintBrush), static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_EQ(GetObjectType(colours.frameBrush), static_cast<DWORD>(OBJ_BRUSH));
  // Wine may report no count at all; where it does, the count must not grow.
  if (before != 0) {
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
  }
}

// A new colour scheme reaches the panel: tooltip colours far from the window's are taken as they
// are, and the panel asks for them again.
TEST_F(HintsTest, ChangedSystemColoursAreTakenUpOnTheChangeMessage) {
  const int elements[] = {COLOR_INFOBK, COLOR_INFOTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT};
  const COLORREF scheme[] = {RGB(0, 0, 128), RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0)};
  COLORREF saved[4];
  for (int i = 0; i < 4; ++i) saved[i] = GetSysColor(elements[i]);
  ASSERT_TRUE(SetSysColors(4, elements, scheme));
  SendMessageA(dialog, WM_SYSCOLORCHANGE, 0, 0);
  HDC screen = GetDC(nullptr);
  COLORREF expectedBackground = GetNearestColor(screen, RGB(0, 0, 128));
  COLORREF expectedText = GetNearestColor(screen, RGB(255, 255, 255));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(colours.hintBackground, expectedBackground);
  EXPECT_EQ(colours.hintText, expectedText);
  LOGBRUSH brush = {};
  ASSERT_EQ(GetObjectA(colours.hintBrush, sizeof brush, &brush), static_cast<int>(sizeof brush));
  EXPECT_EQ(brush.lbColor, expectedBackground);
  SetSysColors(4, elements, saved);
}

}  // namespace
