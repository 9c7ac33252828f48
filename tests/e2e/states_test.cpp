// End-to-end start states: what the dialog offers when the installer or its copy starts in the
// situations a user meets (fresh, beside an installation, copy without installation, own file
// held by another program).
#include <gtest/gtest.h>

#include "resource_ids.h"
#include "tests/e2e/scenario.h"

namespace {

class States : public testing::Test {
 protected:
  void TearDown() override {
    EndSetup(setup);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }

  void ExpectInputs(bool enabled) {
    for (int id : {IDC_GROUP, IDC_FOLDER, IDC_BROWSE, IDC_GROUP_LABEL, IDC_FOLDER_LABEL})
      EXPECT_EQ(ControlEnabled(setup, id), enabled) << "control " << id;
  }

  SetupProcess setup;
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(States, FreshStartOffersInstallIntoTheDefaults) {
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed");
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
  EXPECT_EQ(ControlText(setup, IDC_GROUP), "Statorix");
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), DefaultInstallFolder);
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_FALSE(ControlEnabled(setup, IDC_UNINSTALL));
  EXPECT_FALSE(ControlEnabled(setup, IDC_SUGGESTED));
  ExpectInputs(true);
  ExitSetup(setup);
}

TEST_F(States, BesideAnInstallRecordItsDirectoryIsTheInstalledFolder) {
  ASSERT_TRUE(PlaceInstaller("C:\\Books\\quorvel-setup.exe"));
  ASSERT_TRUE(WriteWholeFile("C:\\Books\\KavriL.dat", "installed"));
  ASSERT_TRUE(StartSetup(setup, "C:\\Books\\quorvel-setup.exe"));
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), "C:\\Books");
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "&Open");
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL)) << "installs again over the existing files";
  EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
  ExpectInputs(false);
}

TEST_F(States, ThePayloadlessCopyWhereNothingIsInstalledOffersNothing) {
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  // The copy taken elsewhere, and the installation it belonged to no longer marked complete.
  ASSERT_TRUE(CopyToPath(InFolder(DefaultInstallFolder, "kavriset.exe"), "C:\\Elsewhere\\kavriset.exe"));
  ASSERT_TRUE(DeleteFileA(InFolder(DefaultInstallFolder, "KavriL.dat").c_str()));

  ASSERT_TRUE(StartSetup(setup, "C:\\Elsewhere\\kavriset.exe"));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed");
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
  EXPECT_FALSE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_FALSE(ControlEnabled(setup, IDC_UNINSTALL));
  ExpectInputs(false);
  ExitSetup(setup);
}

TEST_F(States, OwnFileHeldByAnotherProgramKeepsInstallDisabled) {
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  // Delete access without sharing it: the program can still be started (its loader shares
  // deletion), but its own open for reading, which shares reading only, is refused.
  held = CreateFileA(DownloadedSetup, DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "the held file could not be started";
  EXPECT_FALSE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed") << "the status line is unaffected";
  ExpectInputs(false);
  MessageBoxSeen box;
  EXPECT_FALSE(FindMessageBox(setup, box)) << "no message is shown";
  ExitSetup(setup);
}

}  // namespace
