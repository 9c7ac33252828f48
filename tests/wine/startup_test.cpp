// Start-up: the directory length of the program's own path (with a double-byte code page) and
// the single-instance rule, seen from outside on the built installer.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>

#include "app/main_dialog.h"
#include "app/own_directory.h"
#include "tests/wine/dialog_driver.h"

using namespace dialog_driver;

namespace {

const char* StepCodePage932(const char* text) { return CharNextExA(932, text, 0); }
const char* StepByte(const char* text) { return text + 1; }

// A path whose directory part, backslash included, is `length` bytes long.
std::string PathWithDirectoryOf(size_t length) {
  std::string path = "C:\\";
  path += std::string(length - 4, 'd');
  path += "\\q.exe";
  return path;
}

TEST(OwnDirectoryLength, CountsUpToTheLastBackslashWithinTheFolderLimit) {
  EXPECT_EQ(0, OwnDirectoryLength(""));
  EXPECT_EQ(0, OwnDirectoryLength("quorvel-setup.exe"));
  EXPECT_EQ(3, OwnDirectoryLength("C:\\quorvel-setup.exe"));
  EXPECT_EQ(9, OwnDirectoryLength("C:\\setup\\quorvel-setup.exe"));
  EXPECT_EQ(9, OwnDirectoryLength("C:\\setup\\"));
  EXPECT_EQ(195, OwnDirectoryLength(PathWithDirectoryOf(195).c_str()));
  EXPECT_EQ(0, OwnDirectoryLength(PathWithDirectoryOf(196).c_str()));
  EXPECT_EQ(0, OwnDirectoryLength(PathWithDirectoryOf(250).c_str()));
}

TEST(OwnDirectoryLength, DoubleByteTrailByteIsNoSeparator) {
  // 0x83 0x5C is one character in code page 932 whose trail byte has the value of a backslash.
  const char* path = "C:\\d\\\x83\x5C.exe";
  ASSERT_EQ(path + 7, StepCodePage932(path + 5)) << "Wine does not step code page 932 here";
  EXPECT_EQ(5, OwnDirectoryLength(path, StepCodePage932));
  EXPECT_EQ(7, OwnDirectoryLength(path, StepByte));  // what a byte-wise walk would take
  const char* directory = "C:\\\x83\x5C\\q.exe";
  EXPECT_EQ(6, OwnDirectoryLength(directory, StepCodePage932));
}

TEST(EditHeight, AddsHalfTheSmallerOfSystemAndFieldHeight) {
  EXPECT_EQ(28, EditHeightFor(20, 16));
  EXPECT_EQ(24, EditHeightFor(20, 8));
  EXPECT_EQ(19, EditHeightFor(13, 16));
  EXPECT_EQ(0, EditHeightFor(0, 16));
}

// Makes a window of the test's own the foreground window, so that a change is visible.
HWND TakeForeground() {
  HWND own = CreateWindowExA(0, "STATIC", "driver", WS_POPUP | WS_VISIBLE, 600, 500, 50, 50,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(own);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  return own;
}

TEST(SingleInstance, SecondStartRaisesTheFirstAndEndsWithZero) {
  ASSERT_TRUE(PlaceInstaller());
  RunningSetup first;
  ASSERT_TRUE(first.Start());
  HWND own = TakeForeground();
  bool foregroundObservable = GetForegroundWindow() == own;

  RunningSetup second;
  ASSERT_TRUE(second.Launch());
  EXPECT_EQ(0, second.WaitForExit());
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(first.dialog, FindWindowA(nullptr, Title));
  if (foregroundObservable) {
    WaitUntil([&] { return GetForegroundWindow() == first.dialog; });
    EXPECT_EQ(first.dialog, GetForegroundWindow());
  } else {
    std::printf("note: foreground not observable under this display\n");
  }
  DestroyWindow(own);
  first.Click(2);
  EXPECT_EQ(0, first.WaitForExit());
}

TEST(SingleInstance, SecondStartBringsAnOpenMessageBoxToTheFront) {
  ASSERT_TRUE(PlaceInstaller());
  ASSERT_TRUE(WriteFileText("C:\\setup\\KavriL.dat", "installed"));
  RunningSetup first;
  ASSERT_TRUE(first.Start());
  first.Click(2);  // Open without a viewer: the "Launch failed" box stays open
  HWND box = first.WaitForOtherWindow();
  ASSERT_NE(nullptr, box);
  HWND own = TakeForeground();

  bool foregroundObservable = GetForegroundWindow() == own;

  RunningSetup second;
  ASSERT_TRUE(second.Launch());
  EXPECT_EQ(0, second.WaitForExit());
  if (foregroundObservable) {
    // Activation across processes is applied by the other thread: give it a moment.
    WaitUntil([&] { return GetForegroundWindow() == box; });
    EXPECT_EQ(box, GetForegroundWindow());
  }
  DestroyWindow(own);
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(0, first.WaitForExit());
}

}  // namespace
