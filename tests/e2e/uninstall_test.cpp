// End-to-end uninstall: from the uninstaller copy in the folder (which deletes itself after exit
// through a hidden script), from the full installer, refused while a file is in use, and the
// machine compared before and after.
#include <gtest/gtest.h>

#include "resource_ids.h"
#include "tests/e2e/scenario.h"

namespace {

constexpr DWORD SelfDeleteWaitMs = ShortWaitMs;

class Uninstall : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
    ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  }
  void TearDown() override { EndSetup(setup); }

  // Installs, closes the installer and starts the uninstaller copy from the folder, with the
  // folder as current directory, as the uninstall entry would.
  void InstallAndStartTheCopy(const std::string& folder = DefaultInstallFolder) {
    ASSERT_TRUE(InstallInto(setup, folder));
    CloseDialogWindow(setup);
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
    EndSetup(setup);
    ASSERT_TRUE(StartSetup(setup, InFolder(folder, "kavriset.exe")));
    ASSERT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  }

  // Presses Uninstall and waits for the end of the sequence; no message box may come.
  void RunUninstall() {
    ClickButton(setup, IDC_UNINSTALL);
    MessageBoxSeen box;
    bool done = WaitUntil(
        [&] {
          return FindMessageBox(setup, box) || (ControlText(setup, IDC_EXIT_OPEN) == "E&xit" &&
                                                ControlText(setup, IDC_STATUS) == "Not Installed");
        },
        LongWaitMs);
    ASSERT_TRUE(done) << "uninstall did not finish";
    ASSERT_EQ(box.window, nullptr) << "message \"" << box.text << "\" captioned " << box.caption;
  }

  // Exit, and no message on the way out (the self-delete script's failure would show one).
  void ExitWithoutMessage() {
    ClickButton(setup, IDC_EXIT_OPEN);
    MessageBoxSeen box;
    DWORD code = STILL_ACTIVE;
    bool ended = WaitUntil(
        [&] { return FindMessageBox(setup, box) || WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0; },
        ShortWaitMs);
    ASSERT_TRUE(ended);
    ASSERT_EQ(box.window, nullptr) << "message \"" << box.text << "\" captioned " << box.caption;
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, &code));
    EXPECT_EQ(code, 0u);
  }

  void ExpectPublicationRemoved() {
    for (const char* name : {"Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
      EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, name))) << name;
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_FALSE(DirectoryExists(ProgramGroupFolder()));
    EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
    EXPECT_FALSE(ControlEnabled(setup, IDC_UNINSTALL));
  }

  SetupProcess setup;
};

TEST_F(Uninstall, FromTheCopyRemovesEverythingThenTheCopyAndFolderAfterExit) {
  InstallAndStartTheCopy();
  RunUninstall();
  ExpectPublicationRemoved();
  EXPECT_FALSE(ControlEnabled(setup, IDC_INSTALL)) << "the copy carries no payload";
  EXPECT_TRUE(FileExists(InFolder(DefaultInstallFolder, "kavriset.exe"))) << "the running copy";
  EXPECT_TRUE(WaitForFocus(setup, IDC_EXIT_OPEN)) << "focus on " << FocusedControlId(setup);

  ExitWithoutMessage();
  bool gone = WaitUntil(
      [] {
        return !FileExists(InFolder(DefaultInstallFolder, "kavriset.exe")) &&
               !DirectoryExists(DefaultInstallFolder) && TempScripts().empty();
      },
      SelfDeleteWaitMs, 100);
  EXPECT_TRUE(gone) << "copy " << FileExists(InFolder(DefaultInstallFolder, "kavriset.exe"))
                    << ", folder " << DirectoryExists(DefaultInstallFolder) << ", scripts "
                    << TempScripts().size();
  EXPECT_TRUE(DirectoryExists("C:\\Program Files")) << "a parent that is not empty stays";
  EXPECT_EQ(SettingsValue("Installed", "Group"), "Statorix");
  EXPECT_EQ(SettingsValue("Installed", "Folder"), DefaultInstallFolder);
  EXPECT_EQ(SettingsValue("Installed", "AllUsers"), "1");
}

// The script names the copy and the folder in the OEM code page, and runs from a temporary folder
// whose path has spaces: both must still lead to the copy, the folder and the script being gone.
TEST_F(Uninstall, FromTheCopyInAnAccentedFolderWithSpacesInTheTemporaryPath) {
  const std::string folder = "C:\\Mes Livres\\Biblioth\xE8que";
  const std::string temp = "C:\\Temp Folder With Spaces";
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableA("TEMP", temp.c_str()));

  InstallAndStartTheCopy(folder);
  RunUninstall();
  EXPECT_FALSE(FileExists(InFolder(folder, "Kavri.exe")));
  ExitWithoutMessage();
  bool gone = WaitUntil(
      [&] {
        return !FileExists(InFolder(folder, "kavriset.exe")) && !DirectoryExists(folder) && TempScripts().empty();
      },
      SelfDeleteWaitMs, 100);
  EXPECT_TRUE(gone) << "copy " << FileExists(InFolder(folder, "kavriset.exe")) << ", folder "
                    << DirectoryExists(folder) << ", scripts " << TempScripts().size();
}

TEST_F(Uninstall, FromTheFullInstallerDeletesTheCopyDirectlyAndOffersInstallAgain) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  RunUninstall();
  ExpectPublicationRemoved();
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "kavriset.exe")));
  EXPECT_FALSE(DirectoryExists(DefaultInstallFolder));
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_FOLDER));
  // Written before the program ends, if at all: nothing to wait for once it has ended.
  ExitWithoutMessage();
  EXPECT_TRUE(TempScripts().empty()) << "the full installer needs no self-delete script";
}

TEST_F(Uninstall, IsRefusedWhileAFileIsInUseAndChangesNothing) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  std::string held = InFolder(DefaultInstallFolder, "Kavri1.DAT");
  HANDLE reader = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ClickButton(setup, IDC_UNINSTALL);
  MessageBoxSeen box;
  ASSERT_TRUE(WaitForMessageBox(setup, box));
  EXPECT_EQ(box.caption, "Publication in use");
  AnswerMessageBox(box, IDOK);
  CloseHandle(reader);
  ASSERT_TRUE(WaitUntil([&] { return !FindMessageBox(setup, box); }, ShortWaitMs));
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);
  ExpectCompletedDialog(setup);
}

TEST_F(Uninstall, InstallThenUninstallFromTheCopyLeavesNoTraceButTheSettingsFile) {
  // The baseline is taken after one plain run, so that what Wine itself sets up on a program's
  // first start is not counted against the installer.
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  std::vector<std::string> before = SnapshotMachine();

  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  InstallAndStartTheCopy();
  RunUninstall();
  ExitWithoutMessage();
  ASSERT_TRUE(WaitUntil([] { return !DirectoryExists(DefaultInstallFolder) && TempScripts().empty(); },
                        SelfDeleteWaitMs, 100));

  std::vector<std::string> left = Differences(before, SnapshotMachine());
  std::vector<std::string> expected = {"+ C:\\windows\\kavri.ini"};
  EXPECT_EQ(left, expected) << testing::PrintToString(left);
}

}  // namespace
