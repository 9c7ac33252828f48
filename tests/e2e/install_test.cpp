// End-to-end installation: a complete installation as a user starts it, the uninstaller copy it
// leaves, an unusual folder, and stopping or closing the installer while it installs.
#include <gtest/gtest.h>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/e2e/scenario.h"

namespace {

class Install : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
    ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  }
  void TearDown() override { EndSetup(setup); }
  SetupProcess setup;
};

TEST_F(Install, CompletesIntoTheDefaultFolder) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ExpectCompletedDialog(setup);
  EXPECT_TRUE(WaitForFocus(setup, IDC_EXIT_OPEN)) << "focus on " << FocusedControlId(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);

  CloseDialogWindow(setup);
  DWORD code = STILL_ACTIVE;
  EXPECT_TRUE(WaitForExit(setup, ShortWaitMs, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(Install, TheUninstallerCopyFindsItselfInstalledAndOffersNoInstall) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);

  ASSERT_TRUE(StartSetup(setup, InFolder(DefaultInstallFolder, "kavriset.exe")));
  EXPECT_FALSE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "&Open");
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), DefaultInstallFolder);
  EXPECT_FALSE(ControlEnabled(setup, IDC_FOLDER));
}

TEST_F(Install, CompletesIntoAFolderWithSpacesAndAnAccentedLetter) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the ANSI code page 1252, this prefix has " << GetACP();
  const std::string folder = "C:\\Mes Livres\\Biblioth\xE8que";
  ASSERT_TRUE(InstallInto(setup, folder));
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(folder);
  ExpectRegistration(folder);
}

// Stopping with Exit while the installer copies: the observed moment, described by the files as
// they are between two steps (the driver holds the installer there while it looks).
struct StopMoment {
  const char* name;
  bool (*reached)();
};

bool CopyingTheUninstaller() {
  return FileExists(InFolder(DefaultInstallFolder, "kavriset.exe")) &&
         !FileExists(InFolder(DefaultInstallFolder, "Kavri1.DAT"));
}

bool CopyingTheViewer() {
  int64_t size = FileSize(InFolder(DefaultInstallFolder, "Kavri.exe"));
  return size > 0 && size < static_cast<int64_t>(PayloadStoredSizeViewer);
}

// The viewer is whole and the marker is not there yet: the stop lands during the viewer's read-back
// or just before the completion.
bool FinishingTheLastFile() {
  if (FileExists(InFolder(DefaultInstallFolder, "KavriL.dat"))) return false;
  return FileSize(InFolder(DefaultInstallFolder, "Kavri.exe")) == static_cast<int64_t>(PayloadExpandedSizeViewer);
}

class InstallStopped : public Install, public testing::WithParamInterface<StopMoment> {};

TEST_P(InstallStopped, LeavesPartiallyInstalledAndInstallsAgainToCompletion) {
  ASSERT_TRUE(StopInstallationWhen(setup, GetParam().reached)) << "never saw the moment to stop";
  ASSERT_TRUE(WaitUntil([&] { return ControlEnabled(setup, IDC_INSTALL); }, ShortWaitMs));
  MessageBoxSeen box;
  EXPECT_FALSE(FindMessageBox(setup, box)) << "stopping showed \"" << box.text << "\"";
  ExpectStoppedDialog(setup);
  EXPECT_TRUE(WaitForFocus(setup, IDC_UNINSTALL)) << "focus on " << FocusedControlId(setup);
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "KavriL.dat")));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  // The group and folder are remembered as soon as the installation starts.
  EXPECT_EQ(SettingsValue("Installed", "Folder"), DefaultInstallFolder);

  ASSERT_EQ(RunInstallation(setup, box), KindInstallCompleted) << box.text;
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);
}

INSTANTIATE_TEST_SUITE_P(Moments, InstallStopped,
                         testing::Values(StopMoment{"WhileCopyingTheUninstaller", CopyingTheUninstaller},
                                         StopMoment{"WhileCopyingTheViewer", CopyingTheViewer},
                                         StopMoment{"AfterTheLastFile", FinishingTheLastFile}),
                         [](const testing::TestParamInfo<StopMoment>& info) { return info.param.name; });

// A reinstall over a complete installation takes back "Installed" before its first step, and
// Uninstall can neither be pressed nor run under it: stopped, it leaves its files, claims a
// partial installation only and offers no Open.
TEST_F(Install, AReinstallStoppedWithUninstallPressedKeepsItsFilesAndClaimsNoInstallation) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  ASSERT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  ASSERT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));

  bool uninstallEnabled = true;
  int focusedWhileInstalling = 0;
  ASSERT_TRUE(HoldInstallationWhen(
      setup, [] { return !FileExists(InFolder(DefaultInstallFolder, "KavriL.dat")); },
      [&] {
        HWND uninstall = GetDlgItem(setup.dialog, IDC_UNINSTALL);
        uninstallEnabled = IsWindowEnabled(uninstall) != FALSE;
        focusedWhileInstalling = FocusedControlId(setup);
        // A press that reached the queue before the button was disabled, then Exit.
        PostMessageA(setup.dialog, WM_COMMAND, MAKEWPARAM(IDC_UNINSTALL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(uninstall));
        PostMessageA(GetDlgItem(setup.dialog, IDC_EXIT_OPEN), BM_CLICK, 0, 0);
      }))
      << "the completion marker stayed through the reinstall";
  EXPECT_FALSE(uninstallEnabled);
  EXPECT_EQ(IDC_EXIT_OPEN, focusedWhileInstalling) << "Exit, which stops the installation, has the focus";
  ASSERT_TRUE(WaitUntil([&] { return ControlEnabled(setup, IDC_INSTALL); }, LongWaitMs));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Partially Installed");
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "KavriL.dat")));
  EXPECT_TRUE(FileExists(InFolder(DefaultInstallFolder, "kavriset.exe"))) << "the uninstall ran";
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << "the uninstall ran";

  MessageBoxSeen box;
  ASSERT_EQ(RunInstallation(setup, box), KindInstallCompleted) << box.text;
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
}

TEST_F(Install, ClosingTheWindowDuringInstallationEndsTheProgramWithExitCode0) {
  ASSERT_TRUE(StopInstallationWhen(
      setup, [] { return FileExists(InFolder(DefaultInstallFolder, "Kavri1.DAT")); }, LongWaitMs, true));
  DWORD code = STILL_ACTIVE;
  MessageBoxSeen box;
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, &code))
      << "the installer kept running"
      << (FindMessageBox(setup, box) ? ", showing \"" + box.text + "\" captioned " + box.caption : "");
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "KavriL.dat")));
  EXPECT_TRUE(FileExists(InFolder(DefaultInstallFolder, "kavriset.exe"))) << "written files stay";
}

}  // namespace
