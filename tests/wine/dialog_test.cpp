// The main dialog of the built installer, driven from outside as a person would: the state it
// shows at start, the own-directory rule, Suggested, Exit, Open (with and without a viewer),
// Install refused while the program's own file is held, and Browse cancelled.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>

#include "resources/resource_ids.h"
#include "tests/wine/dialog_driver.h"

using namespace dialog_driver;

namespace {

const int InputControls[] = {IDC_GROUP, IDC_FOLDER, IDC_GROUP_LABEL, IDC_FOLDER_LABEL, IDC_BROWSE,
                             IDC_SUGGESTED};

void ExpectInputsEnabled(const RunningSetup& setup, bool enabled) {
  for (int id : InputControls) EXPECT_EQ(enabled, setup.Enabled(id)) << "control " << id;
}

void WriteSetting(const char* key, const char* value) {
  WritePrivateProfileStringA("Installed", key, value, "kavri.ini");  // C:\windows\kavri.ini
}

std::string SampleViewer() {
  return WindowsPathOf(QUORVEL_GENERATED_DIR "/../sample-payload/Kavri.exe");
}

// The viewer's window: the top-level window that shows its current directory in control 101
// and its command line in control 102.
BOOL CALLBACK MatchViewer(HWND window, LPARAM data) {
  if (!GetDlgItem(window, 101) || !GetDlgItem(window, 102) || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

HWND FindViewer() {
  HWND found = nullptr;
  WaitUntil([&] {
    EnumWindows(MatchViewer, reinterpret_cast<LPARAM>(&found));
    return found != nullptr;
  });
  return found;
}

std::string ItemText(HWND window, int id) {
  char buffer[512] = {};
  SendMessageTimeoutA(GetDlgItem(window, id), WM_GETTEXT, sizeof buffer,
                      reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, ShortWaitMs, nullptr);
  return buffer;
}

TEST(MainDialog, FreshStartOffersInstallWithTheDefaults) {
  ASSERT_TRUE(PlaceInstaller());
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  EXPECT_EQ("Not Installed", setup.Text(IDC_STATUS));
  EXPECT_TRUE(setup.Enabled(IDC_INSTALL));
  EXPECT_FALSE(setup.Enabled(IDC_UNINSTALL));
  EXPECT_EQ("E&xit", setup.Text(IDC_EXIT_OPEN));
  EXPECT_EQ("Statorix", setup.Text(IDC_GROUP));
  EXPECT_EQ("C:\\Program Files\\xan", setup.Text(IDC_FOLDER));
  EXPECT_FALSE(setup.Enabled(IDC_SUGGESTED));
  for (int id : {IDC_GROUP, IDC_FOLDER, IDC_GROUP_LABEL, IDC_FOLDER_LABEL, IDC_BROWSE})
    EXPECT_TRUE(setup.Enabled(id)) << "control " << id;
  std::string notice = setup.Text(IDC_NOTICE);
  EXPECT_EQ(1, std::count(notice.begin(), notice.end(), '\n')) << notice;
  // The hint panel is read-only and outside the tab order; the meter is never clickable.
  LONG panelStyle = GetWindowLongA(GetDlgItem(setup.dialog, IDC_HINT_PANEL), GWL_STYLE);
  EXPECT_EQ(0, panelStyle & WS_TABSTOP);
  EXPECT_NE(0, panelStyle & ES_READONLY);
  EXPECT_FALSE(setup.Enabled(IDC_METER));
}

TEST(MainDialog, InstallRecordBesideTheProgramMakesItsDirectoryTheFolder) {
  ASSERT_TRUE(PlaceInstaller());
  ASSERT_TRUE(WriteFileText("C:\\setup\\KavriL.dat", "installed"));
  WriteSetting("Folder", "C:\\Elsewhere");  // the record wins over the settings
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  EXPECT_EQ("C:\\setup", setup.Text(IDC_FOLDER));
  EXPECT_EQ("Installed", setup.Text(IDC_STATUS));
  EXPECT_EQ("&Open", setup.Text(IDC_EXIT_OPEN));
  EXPECT_TRUE(setup.Enabled(IDC_INSTALL));
  EXPECT_TRUE(setup.Enabled(IDC_UNINSTALL));
  ExpectInputsEnabled(setup, false);
}

TEST(MainDialog, StoredFolderIsShownWhenNoRecordLiesBesideTheProgram) {
  ASSERT_TRUE(PlaceInstaller());
  CreateDirectoryA("C:\\Books", nullptr);
  ASSERT_TRUE(WriteFileText("C:\\Books\\KavriL.dat", "installed"));
  WriteSetting("Folder", "C:\\Books");
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  EXPECT_EQ("C:\\Books", setup.Text(IDC_FOLDER));
  EXPECT_EQ("Installed", setup.Text(IDC_STATUS));
}

TEST(MainDialog, SuggestedRestoresTheDefaultGroup) {
  ASSERT_TRUE(PlaceInstaller());
  WriteSetting("Group", "Lesewelt");
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  EXPECT_EQ("Lesewelt", setup.Text(IDC_GROUP));
  EXPECT_TRUE(setup.Enabled(IDC_SUGGESTED));
  setup.Click(IDC_SUGGESTED);
  EXPECT_TRUE(WaitUntil([&] { return setup.Text(IDC_GROUP) == "Statorix"; }));
  EXPECT_TRUE(WaitUntil([&] { return !setup.Enabled(IDC_SUGGESTED); }));
}

// A running program's file cannot be opened for writing (nor started while so held), on Wine as
// on Windows; another program can still hold it without sharing it with readers.
TEST(MainDialog, ProgramFileHeldWithoutReadSharingDisablesInstall) {
  ASSERT_TRUE(PlaceInstaller());
  RunningSetup setup;
  // Suspended until the file is held, so that the dialog's start-up certainly sees it held.
  ASSERT_TRUE(setup.Launch(SetupCopy, SetupDir, CREATE_SUSPENDED));
  HANDLE held = CreateFileA(SetupCopy, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ResumeThread(setup.thread);
  ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
  ASSERT_TRUE(setup.WaitForDialog());
  EXPECT_FALSE(setup.Enabled(IDC_INSTALL));
  EXPECT_FALSE(setup.Enabled(IDC_UNINSTALL));
  ExpectInputsEnabled(setup, false);
  EXPECT_EQ("Not Installed", setup.Text(IDC_STATUS));  // the status line is unaffected
  CloseHandle(held);
}

TEST(MainDialog, ExitEndsTheProgramWithCodeZero) {
  ASSERT_TRUE(PlaceInstaller());
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  setup.Click(IDC_EXIT_OPEN);
  EXPECT_EQ(0, setup.WaitForExit());
  EXPECT_EQ(nullptr, FindWindowA(nullptr, Title));
}

TEST(MainDialog, CloseBoxEndsTheProgramAndNeverStartsTheViewer) {
  ASSERT_TRUE(PlaceInstaller());
  ASSERT_TRUE(WriteFileText("C:\\setup\\KavriL.dat", "installed"));
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  PostMessageA(setup.dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, setup.WaitForExit());
  EXPECT_EQ(nullptr, setup.FindOtherWindow());  // no "Launch failed": Open was not attempted
}

TEST(MainDialog, OpenStartsTheViewerInTheFolderWithoutCommandLine) {
  ASSERT_TRUE(PlaceInstaller());
  ASSERT_TRUE(WriteFileText("C:\\setup\\KavriL.dat", "installed"));
  ASSERT_TRUE(CopyFileA(SampleViewer().c_str(), "C:\\setup\\Kavri.exe", FALSE)) << SampleViewer();
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  setup.Click(IDC_EXIT_OPEN);
  EXPECT_EQ(0, setup.WaitForExit());
  HWND viewer = FindViewer();
  ASSERT_NE(nullptr, viewer);
  EXPECT_STRCASEEQ("C:\\setup", ItemText(viewer, 101).c_str());
  // Started without a command line, the viewer sees only its own name, perhaps quoted.
  std::string commandLine = ItemText(viewer, 102);
  commandLine.erase(std::remove(commandLine.begin(), commandLine.end(), '"'), commandLine.end());
  while (!commandLine.empty() && commandLine.back() == ' ') commandLine.pop_back();
  EXPECT_STRCASEEQ("C:\\setup\\Kavri.exe", commandLine.c_str());
  PostMessageA(viewer, WM_CLOSE, 0, 0);
}

TEST(MainDialog, OpenWithoutViewerReportsTheFullPathAndEnds) {
  ASSERT_TRUE(PlaceInstaller());
  ASSERT_TRUE(WriteFileText("C:\\setup\\KavriL.dat", "installed"));
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  setup.Click(IDC_EXIT_OPEN);
  HWND box = setup.WaitForOtherWindow();
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("C:\\setup\\Kavri.exe", WindowText(box));
  EXPECT_EQ("Launch failed", ItemText(box, 0xFFFF));
  EXPECT_TRUE(setup.Running());  // the box is modal: the installer waits for the answer
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(0, setup.WaitForExit());
}

TEST(MainDialog, CancelledBrowserLeavesTheFolder) {
  ASSERT_TRUE(PlaceInstaller());
  RunningSetup setup;
  ASSERT_TRUE(setup.Start());
  setup.Click(IDC_BROWSE);
  HWND browser = setup.WaitForOtherWindow();
  ASSERT_NE(nullptr, browser) << "no folder browser appeared";
  std::printf("note: the folder browser's title reads \"%s\"\n", WindowText(browser).c_str());
  EXPECT_FALSE(IsWindowEnabled(setup.dialog));  // modal over the dialog
  PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return setup.FindOtherWindow() == nullptr; }));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(setup.dialog) != 0; }));
  EXPECT_EQ("C:\\Program Files\\xan", setup.Text(IDC_FOLDER));
  EXPECT_EQ("Not Installed", setup.Text(IDC_STATUS));
}

}  // namespace
