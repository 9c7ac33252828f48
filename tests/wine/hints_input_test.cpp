// The hints and fields of the real installer driven with real input (SendInput): hover, label
// clicks and typing into the group field, read back across the process boundary.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/input_driver.h"

namespace {

using dialog_driver::RunningSetup;
using dialog_driver::WaitUntil;

std::string TextOf(HWND window) {
  char text[512] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

class HintsInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setup.Start(WindowsPathOf(QUORVEL_SETUP_EXE).c_str(), nullptr));
    dialog = setup.dialog;
    WaitForInputIdle(setup.process, 5000);
  }
  void TearDown() override {
    if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
    if (setup.process) setup.WaitForExit();
  }
  HWND Item(int id) { return GetDlgItem(dialog, id); }
  // Every event carries the point: a press that left the point to the pointer's position could
  // land where an earlier move's late X motion event put it back.
  static INPUT MouseAt(HWND window, DWORD flags) {
    const POINT centre = input_driver::CentreOf(input_driver::ScreenRectOf(window));
    return input_driver::MouseInput(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, centre.x, centre.y);
  }
  void MoveTo(HWND window) {
    INPUT input = MouseAt(window, 0);
    SendInput(1, &input, sizeof input);
  }
  void Click(HWND window) {
    MoveTo(window);
    INPUT press[2] = {MouseAt(window, MOUSEEVENTF_LEFTDOWN), MouseAt(window, MOUSEEVENTF_LEFTUP)};
    SendInput(2, press, sizeof press[0]);
  }
  void Type(const char* text) {
    for (const char* p = text; *p; ++p) {
      const SHORT key = VkKeyScanA(*p);
      INPUT keys[4] = {};
      int count = 0;
      auto add = [&](WORD vk, DWORD flags) {
        keys[count].type = INPUT_KEYBOARD;
        keys[count].ki.wVk = vk;
        keys[count].ki.dwFlags = flags;
        ++count;
      };
      const bool shift = (key >> 8) & 1;
      if (shift) add(VK_SHIFT, 0);
      add(LOBYTE(key), 0);
      add(LOBYTE(key), KEYEVENTF_KEYUP);
      if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
      SendInput(count, keys, sizeof keys[0]);
      Sleep(20);
    }
  }
  HWND FocusOfDialog() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
  }
  RunningSetup setup;
  HWND dialog = nullptr;
};

TEST_F(HintsInputTest, HoverLabelClicksAndSuggestedRule) {
  MoveTo(Item(IDC_BROWSE));
  EXPECT_TRUE(WaitUntil([&] {
    return TextOf(Item(IDC_HINT_PANEL)) == "Explore and choose a destination from the existing folders";
  })) << TextOf(Item(IDC_HINT_PANEL));

  Click(Item(IDC_FOLDER_LABEL));
  EXPECT_TRUE(WaitUntil([&] { return FocusOfDialog() == Item(IDC_FOLDER); }));

  HWND groupEdit = GetWindow(Item(IDC_GROUP), GW_CHILD);
  HWND suggested = Item(IDC_SUGGESTED);
  EXPECT_FALSE(IsWindowEnabled(suggested));
  Click(Item(IDC_GROUP_LABEL));
  ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() == groupEdit; }));
  ASSERT_TRUE(WaitForPostedMessages(groupEdit));  // the select-all the focus posts
  Type("statorix");
  EXPECT_TRUE(WaitUntil([&] { return TextOf(groupEdit) == "statorix"; })) << TextOf(groupEdit);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(suggested) != FALSE; }));

  Click(Item(IDC_FOLDER_LABEL));
  ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() == Item(IDC_FOLDER); }));
  Click(Item(IDC_GROUP_LABEL));
  ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() == groupEdit; }));
  ASSERT_TRUE(WaitForPostedMessages(groupEdit));
  Type("Statorix");
  EXPECT_TRUE(WaitUntil([&] { return TextOf(groupEdit) == "Statorix"; })) << TextOf(groupEdit);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(suggested) == FALSE; }));
}

}  // namespace
