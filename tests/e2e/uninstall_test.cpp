// End-to-end uninstall: from the uninstaller copy in the folder (which deletes itself after exit
// through a hidden script), from the full installer, refused while a file is in use, and the
// machine compared before and after.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <functional>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/e2e/scenario.h"
#include "tests/wine/wine_test_support.h"

namespace {

constexpr DWORD SelfDeleteWaitMs = ShortWaitMs;
// The deletion tries for about a minute before it gives up.
constexpr DWORD GiveUpWaitMs = 150000;

// Copies moved into the temporary folder to wait there for their deletion ("xan*.tmp").
std::vector<std::string> TempCopies() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(temp) + "xan*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void PointTempAt(const std::string& folder) {
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", folder.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableA("TEMP", folder.c_str()));
}

// What a user deleting a folder by hand does.
void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string inner = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(inner);
      else DeleteFileA(inner.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

class Uninstall : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
    ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  }
  void TearDown() override { EndSetup(setup); }

  // Installs, closes the installer and starts the uninstaller copy from the folder, with the
  // folder as current directory, as the uninstall entry would; as a standard user if asked.
  void InstallAndStartTheCopy(const std::string& folder = DefaultInstallFolder, bool asStandardUser = false) {
    ASSERT_TRUE(InstallInto(setup, folder));
    CloseDialogWindow(setup);
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
    EndSetup(setup);
    const std::string copy = InFolder(folder, "kavriset.exe");
    ASSERT_TRUE(asStandardUser ? StartSetupAsStandardUser(setup, copy) : StartSetup(setup, copy));
    ASSERT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  }

  // Ends the running program and starts another one with a dialog.
  void Restart(const std::string& path) {
    CloseDialogWindow(setup);
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
    EndSetup(setup);
    ASSERT_TRUE(StartSetup(setup, path));
  }

  void ExpectPartiallyInstalled() {
    EXPECT_EQ(ControlText(setup, IDC_STATUS), "Partially Installed");
    EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
    EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
    EXPECT_FALSE(ControlEnabled(setup, IDC_FOLDER));
  }

  // Presses Uninstall and expects "File not deleted" for `path`, and Uninstall offered again.
  void RunUninstallExpectingFileNotDeleted(const std::string& path) {
    ClickButton(setup, IDC_UNINSTALL);
    MessageBoxSeen box;
    ASSERT_TRUE(WaitForMessageBox(setup, box));
    EXPECT_EQ(box.text, "File not deleted");
    EXPECT_STRCASEEQ(box.caption.c_str(), path.c_str());
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(WaitForControlText(setup, IDC_STATUS, "Partially Installed"));
    EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
  }

  // Uninstalls from the running copy in the default folder; afterwards the machine differs from
  // `before` by kavri.ini alone.
  void UninstallLeavingOnlyTheSettingsFile(const std::vector<std::string>& before);

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

  // After exit the copy, its folder up to `top`, every moved copy and the hidden interpreter that
  // deletes them must go in time.
  void ExpectTheCopyGone(const std::string& folder, const std::string& top) {
    bool gone = WaitUntil(
        [&] {
          return !FileExists(InFolder(folder, "kavriset.exe")) && !DirectoryExists(top) &&
                 RunningProcesses("cmd.exe") == 0 && TempCopies().empty();
        },
        SelfDeleteWaitMs, 100);
    EXPECT_TRUE(gone) << "copy " << FileExists(InFolder(folder, "kavriset.exe")) << ", folder "
                      << DirectoryExists(top) << ", interpreters " << RunningProcesses("cmd.exe")
                      << ", moved copies " << TempCopies().size();
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
  // The running copy has moved out into the temporary folder, so the folder went at once.
  EXPECT_FALSE(DirectoryExists(DefaultInstallFolder));
  EXPECT_EQ(TempCopies().size(), 1u);
  EXPECT_TRUE(WaitForFocus(setup, IDC_EXIT_OPEN)) << "focus on " << FocusedControlId(setup);

  ExitWithoutMessage();
  ExpectTheCopyGone(DefaultInstallFolder, DefaultInstallFolder);
  EXPECT_TRUE(DirectoryExists("C:\\Program Files")) << "a parent that is not empty stays";
  EXPECT_EQ(SettingsValue("Installed", "Group"), "Statorix");
  EXPECT_EQ(SettingsValue("Installed", "Folder"), DefaultInstallFolder);
  EXPECT_EQ(SettingsValue("Installed", "AllUsers"), "1");
}

// As a package manager runs the entry's QuietUninstallString: no window, exit code 0, and the copy
// and folder gone after exit; then a copy elsewhere finds nothing to uninstall, and says so with 0.
TEST_F(Uninstall, FromTheCopySilentlyThenNothingIsLeftToUninstall) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  ASSERT_TRUE(CopyToPath(InFolder(DefaultInstallFolder, "kavriset.exe"), "C:\\Elsewhere\\kavriset.exe"));
  auto runSilently = [&](const std::string& copy) {
    DWORD code = ~0u;
    EXPECT_TRUE(LaunchSetupWith(setup, copy, "", 0, "/S") && WaitForExit(setup, LongWaitMs, &code));
    EndSetup(setup);
    return code;
  };
  EXPECT_EQ(runSilently(InFolder(DefaultInstallFolder, "kavriset.exe")), 0u);
  for (const char* name : {"Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
    EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, name))) << name;
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(DirectoryExists(ProgramGroupFolder()));
  ExpectTheCopyGone(DefaultInstallFolder, DefaultInstallFolder);

  std::vector<std::string> before = SnapshotMachine();
  EXPECT_EQ(runSilently("C:\\Elsewhere\\kavriset.exe"), 0u);
  EXPECT_EQ(Differences(before, SnapshotMachine()), std::vector<std::string>());
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
  ExpectTheCopyGone(folder, "C:\\Mes Livres");
}

// Folder names that the command interpreter reads as other text: "%" is dropped, %NAME% pairs are
// expanded, letters the OEM code page lacks become look-alikes, "&^!()" are operators. The copy
// must still delete itself and its folders, and the look-alike folder beside them (what a
// misread script would name) keeps its file and stays.
struct FolderCase {
  const char* name;
  const char* folder;
  const char* created;  // the highest folder the installation makes
  const char* lookAlike;
};

class UninstallFromTheCopy : public Uninstall, public testing::WithParamInterface<FolderCase> {};

TEST_P(UninstallFromTheCopy, DeletesItselfAndItsFoldersAndNothingElse) {
  const FolderCase& c = GetParam();
  if (std::string(c.folder).find('\x8A') != std::string::npos && GetACP() != 1252)
    GTEST_SKIP() << "needs the ANSI code page 1252, this prefix has " << GetACP();
  ASSERT_TRUE(SetEnvironmentVariableA("QUORVELDECOY", "Decoy"));  // inherited by the copy and its script
  if (c.lookAlike) {
    ASSERT_TRUE(MakeDirectories(c.lookAlike));
    ASSERT_TRUE(WriteWholeFile(InFolder(c.lookAlike, "kavriset.exe"), "not the installation's"));
  }
  InstallAndStartTheCopy(c.folder);
  RunUninstall();
  ExitWithoutMessage();
  ExpectTheCopyGone(c.folder, c.created);
  if (c.lookAlike) {
    EXPECT_EQ(FileSize(InFolder(c.lookAlike, "kavriset.exe")), 22) << c.lookAlike;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UninstallFromTheCopy,
    testing::Values(FolderCase{"PercentSign", "C:\\Books 100%\\xan", "C:\\Books 100%", "C:\\Books 100\\xan"},
                    FolderCase{"EnvironmentName", "C:\\Q%QUORVELDECOY%\\xan", "C:\\Q%QUORVELDECOY%", "C:\\QDecoy\\xan"},
                    FolderCase{"OutsideTheOemCodePage", "C:\\\x8A\x92\x96\\xan", "C:\\\x8A\x92\x96", "C:\\S'-\\xan"},
                    FolderCase{"CommandCharacters", "C:\\a&b^c!(d) e\\xan", "C:\\a&b^c!(d) e", nullptr}),
    [](const testing::TestParamInfo<FolderCase>& info) { return info.param.name; });

// Only the folders the installation made go: its parents that it made too, not the user's own
// empty folder above them.
TEST_F(Uninstall, FromTheCopyRemovesTheFoldersItMadeAndKeepsTheUsersOwn) {
  ASSERT_TRUE(MakeDirectories("C:\\Users Own"));
  InstallAndStartTheCopy("C:\\Users Own\\New\\xan");
  RunUninstall();
  ExitWithoutMessage();
  ExpectTheCopyGone("C:\\Users Own\\New\\xan", "C:\\Users Own\\New");
  EXPECT_TRUE(DirectoryExists("C:\\Users Own"));
}

// A copy that can never be deleted (read-only here) must not keep a hidden interpreter running
// until the user logs off: it gives up after about a minute, and leaves the copy as it is.
TEST_F(Uninstall, TheDeletionGivesUpOnACopyThatCannotBeDeleted) {
  InstallAndStartTheCopy();
  ASSERT_TRUE(SetFileAttributesA(InFolder(DefaultInstallFolder, "kavriset.exe").c_str(), FILE_ATTRIBUTE_READONLY));
  RunUninstall();
  ExitWithoutMessage();
  EXPECT_TRUE(WaitUntil([] { return RunningProcesses("cmd.exe") != 0; }, ShortWaitMs, 10))
      << "the deletion never started";
  EXPECT_TRUE(WaitUntil([] { return RunningProcesses("cmd.exe") == 0; }, GiveUpWaitMs, 500))
      << RunningProcesses("cmd.exe") << " interpreters still running";
  EXPECT_EQ(TempCopies().size(), 1u) << "a read-only copy is left, not forced";
}

// Programs named like the deletion's pause, left by an unelevated program where a command
// interpreter looks a bare name up first: the temporary folder and the installation folder. Only
// the system's own may run, elevated as the uninstaller is. The copy is held open until the pause
// has run once, so that the deletion certainly needs it.
struct PlantCase {
  const char* name;
  bool copyStaysInTheFolder;  // no temporary folder to move it to: deleted where it is
};

class UninstallPlanted : public Uninstall, public testing::WithParamInterface<PlantCase> {};

std::vector<std::string> PlantedNames() { return {"ping.exe", "ping.com", "ping.bat"}; }

void PlantPings(const std::string& folder) {
  std::string program;
  ASSERT_TRUE(ReadWholeFile(WindowsPathOf(QUORVEL_PLANTED_PROGRAM_EXE), program));
  ASSERT_TRUE(WriteWholeFile(InFolder(folder, "ping.exe"), program));
  ASSERT_TRUE(WriteWholeFile(InFolder(folder, "ping.com"), program));
  ASSERT_TRUE(WriteWholeFile(InFolder(folder, "ping.bat"), "@echo ran>\"%~f0.ran\"\r\n"));
}

TEST_P(UninstallPlanted, RunsNoProgramLeftInAUserWritableFolder) {
  char tempPath[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(sizeof tempPath, tempPath), 0u);
  std::string temp(tempPath, strlen(tempPath) - 1);
  InstallAndStartTheCopy();
  for (const std::string& folder : {temp, std::string(DefaultInstallFolder)}) ASSERT_NO_FATAL_FAILURE(PlantPings(folder));
  if (GetParam().copyStaysInTheFolder) {
    PointTempAt("C:\\No Such Temp");
    Restart(InFolder(DefaultInstallFolder, "kavriset.exe"));
  }
  RunUninstall();
  std::vector<std::string> moved = TempCopies();
  std::string copy = GetParam().copyStaysInTheFolder || moved.empty() ? InFolder(DefaultInstallFolder, "kavriset.exe")
                                                                       : InFolder(temp, moved[0].c_str());
  HANDLE held = CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE) << copy;
  ASSERT_NO_FATAL_FAILURE(ExitWithoutMessage());
  auto planted = [&](const std::string& name) {
    return FileExists(InFolder(temp, (name + ".ran").c_str())) ||
           FileExists(InFolder(DefaultInstallFolder, (name + ".ran").c_str()));
  };
  auto anyPlanted = [&] {
    for (const std::string& name : PlantedNames())
      if (planted(name)) return true;
    return false;
  };
  bool paused = WaitUntil(
      [&] { return RunningProcesses("ping.exe") + RunningProcesses("ping.com") != 0 || anyPlanted(); }, LongWaitMs,
      10);
  CloseHandle(held);
  EXPECT_TRUE(paused) << "the deletion never paused";
  ExpectTheCopyGone(DefaultInstallFolder, "");
  for (const std::string& name : PlantedNames()) {
    EXPECT_FALSE(planted(name)) << name << " ran";
    EXPECT_TRUE(FileExists(InFolder(DefaultInstallFolder, name.c_str()))) << "the user's own " << name << " stays";
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, UninstallPlanted,
                         testing::Values(PlantCase{"CopyMovedOut", false}, PlantCase{"CopyInTheFolder", true}),
                         [](const testing::TestParamInfo<PlantCase>& info) { return info.param.name; });

// A group folder that was there before (here the all-users Startup folder, listed among the
// groups) is not removed with the installation's shortcut.
TEST_F(Uninstall, AGroupFolderThatWasThereBeforeStays) {
  std::string startup = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\StartUp";
  ASSERT_TRUE(DirectoryExists(startup));
  TypeText(setup, IDC_GROUP, "StartUp");
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ASSERT_TRUE(FileExists(startup + "\\Quorvel.lnk"));
  RunUninstall();
  EXPECT_FALSE(FileExists(startup + "\\Quorvel.lnk"));
  EXPECT_TRUE(DirectoryExists(startup));
  ExitWithoutMessage();
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
  EXPECT_EQ(RunningProcesses("cmd.exe"), 0) << "the full installer needs no deletion after exit";
}

// Held by a reader that shares reading, or by one that shares nothing at all.
TEST_F(Uninstall, IsRefusedWhileAFileIsInUseAndChangesNothing) {
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  std::string held = InFolder(DefaultInstallFolder, "Kavri1.DAT");
  for (DWORD sharing : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
    SCOPED_TRACE(sharing);
    HANDLE reader = CreateFileA(held.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
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
  ASSERT_TRUE(WaitUntil(
      [] { return !DirectoryExists(DefaultInstallFolder) && RunningProcesses("cmd.exe") == 0 && TempCopies().empty(); },
      SelfDeleteWaitMs, 100));

  std::vector<std::string> left = Differences(before, SnapshotMachine());
  std::vector<std::string> expected = {"+ C:\\windows\\kavri.ini"};
  EXPECT_EQ(left, expected) << testing::PrintToString(left);
}

void Uninstall::UninstallLeavingOnlyTheSettingsFile(const std::vector<std::string>& before) {
  RunUninstall();
  ExitWithoutMessage();
  ExpectTheCopyGone(DefaultInstallFolder, DefaultInstallFolder);
  std::vector<std::string> left = Differences(before, SnapshotMachine());
  EXPECT_EQ(left, std::vector<std::string>{"+ C:\\windows\\kavri.ini"}) << testing::PrintToString(left);
}

// ---- interrupted runs ----------------------------------------------------------------------

// A reinstall stopped by Exit leaves a partial installation, seen as such by the installer and by
// the uninstaller copy that the list of installed programs starts; its Uninstall leaves nothing
// but kavri.ini.
TEST_F(Uninstall, AReinstallStoppedByExitIsPartialAndUninstallsClean) {
  Restart(DownloadedSetup);
  std::vector<std::string> before = SnapshotMachine();
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  Restart(DownloadedSetup);
  auto copyingData = [] { return FileSize(InFolder(DefaultInstallFolder, "Kavri1.DAT")) < PayloadSizeKavri1; };
  ASSERT_TRUE(StopInstallationWhen(setup, copyingData));
  ASSERT_TRUE(WaitForControlText(setup, IDC_STATUS, "Partially Installed"));
  Restart(DownloadedSetup);
  ExpectPartiallyInstalled();
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL)) << "the installer can simply install again";
  Restart(InFolder(DefaultInstallFolder, "kavriset.exe"));
  ExpectPartiallyInstalled();
  UninstallLeavingOnlyTheSettingsFile(before);
}

// Killed while it shows "File not deleted" (the reader's notes file is held open), the copy's
// uninstall leaves the copy, the begun record and the entry: the copy started again finishes.
TEST_F(Uninstall, KilledHalfWayTheCopyStartedAgainFinishes) {
  Restart(DownloadedSetup);
  std::vector<std::string> before = SnapshotMachine();
  const std::string notes = InFolder(DefaultInstallFolder, "KavriV.ini");
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ASSERT_TRUE(WriteWholeFile(notes, "the reader's notes"));
  HANDLE reader = CreateFileA(notes.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Restart(InFolder(DefaultInstallFolder, "kavriset.exe"));
  ClickButton(setup, IDC_UNINSTALL);
  MessageBoxSeen box;
  ASSERT_TRUE(WaitForMessageBox(setup, box));
  EXPECT_EQ(box.caption, notes);
  TerminateProcess(setup.process, 9);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  CloseHandle(reader);
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << "the entry went before the copy";

  ASSERT_TRUE(StartSetup(setup, InFolder(DefaultInstallFolder, "kavriset.exe")));
  ExpectPartiallyInstalled();
  UninstallLeavingOnlyTheSettingsFile(before);
}

// Killed after its uninstall, before the script could run, the copy stays in the temporary
// folder; the next installation deletes it.
TEST_F(Uninstall, AMovedCopyLeftByAKilledUninstallGoesWithTheNextInstallation) {
  InstallAndStartTheCopy();
  RunUninstall();
  ASSERT_EQ(TempCopies().size(), 1u);
  TerminateProcess(setup.process, 9);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  EXPECT_TRUE(TempCopies().empty());
}

// ---- records and the temporary folder -------------------------------------------------------

// Each case installs into `folder` after `before`, then runs `between` and uninstalls with the
// uninstaller copy of `uninstallFolder` (the same folder unless named). A case with `refused`
// first gets "File not deleted" for that file, then `mend` and a second Uninstall that finishes.
// Afterwards the copy is gone, and its folder too unless `folderKept`; every folder in `kept` is
// still there.
struct RecordCase {
  const char* name;
  const char* folder;
  std::function<void(SetupProcess&)> before;
  std::function<void()> between;
  const char* uninstallFolder;
  const char* refused;
  std::function<void()> mend;
  std::vector<const char*> kept;
  bool folderKept;  // no record this installation may use says that it made its folder
};

void InstallElsewhere(SetupProcess& setup, const std::string& folder) {
  ASSERT_TRUE(InstallInto(setup, folder));
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
}

class UninstallRecords : public Uninstall, public testing::WithParamInterface<RecordCase> {};

TEST_P(UninstallRecords, RemoveOnlyWhatThisInstallationMade) {
  const RecordCase& c = GetParam();
  if (c.before) {
    ASSERT_NO_FATAL_FAILURE(c.before(setup));
  }
  InstallAndStartTheCopy(c.folder);
  if (c.between) {
    ASSERT_NO_FATAL_FAILURE(c.between());
  }
  std::string uninstalled = c.uninstallFolder ? c.uninstallFolder : c.folder;
  // Started again, so that what `between` changed (the environment, too) is what it starts with.
  if (c.between || c.uninstallFolder) Restart(InFolder(uninstalled, "kavriset.exe"));
  if (c.refused) {
    RunUninstallExpectingFileNotDeleted(InFolder(uninstalled, c.refused));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    c.mend();
    Restart(InFolder(uninstalled, "kavriset.exe"));
    ExpectPartiallyInstalled();
  }
  RunUninstall();
  ExitWithoutMessage();
  ExpectTheCopyGone(uninstalled, c.folderKept ? "" : uninstalled);
  for (const char* folder : c.kept) EXPECT_TRUE(DirectoryExists(folder)) << folder;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UninstallRecords,
    testing::Values(
        // Installed into C:\New\xan, deleted by hand, then into the user's own C:\New\Mine.
        RecordCase{"StaleRecord", "C:\\New\\Mine",
                   [](SetupProcess& setup) {
                     InstallElsewhere(setup, "C:\\New\\xan");
                     RemoveTree("C:\\New\\xan");
                     MakeDirectories("C:\\New\\Mine");
                   },
                   nullptr, nullptr, nullptr, nullptr, {"C:\\New\\Mine", "C:\\New"}, true},
        RecordCase{"HandEditedToTheRoot", "C:\\users\\Public\\Documents\\xan", nullptr,
                   [] { WritePrivateProfileStringA("Installed", "CreatedFolder", "C:", "kavri.ini"); }, nullptr,
                   nullptr, nullptr, {"C:\\users\\Public\\Documents"}, true},
        RecordCase{"HandEditedToAParent", "C:\\users\\Public\\Documents\\xan", nullptr,
                   [] { WritePrivateProfileStringA("Installed", "CreatedFolder", "C:\\users", "kavri.ini"); },
                   nullptr, nullptr, nullptr, {"C:\\users\\Public\\Documents"}, true},
        // The copy cannot move out: it is deleted where it is after exit, its folder after it.
        RecordCase{"TempMissing", DefaultInstallFolder, nullptr, [] { PointTempAt("C:\\No Such Temp"); },
                   nullptr, nullptr, nullptr, {}, false}),
    [](const testing::TestParamInfo<RecordCase>& info) { return info.param.name; });

// The other installation keeps its files, its shortcut and the entry that names it.
TEST_F(Uninstall, TwoInstallationsTheOtherKeepsItsEntry) {
  ASSERT_TRUE(InstallInto(setup, "C:\\One\\xan"));
  DeleteFileA("C:\\windows\\kavri.ini");
  Restart(DownloadedSetup);
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  Restart(InFolder("C:\\One\\xan", "kavriset.exe"));
  RunUninstall();
  ExitWithoutMessage();
  // kavri.ini, and with it the record of the folders C:\One\xan made, was lost: they stay.
  ExpectTheCopyGone("C:\\One\\xan", "");
  EXPECT_TRUE(DirectoryExists("C:\\One\\xan"));
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);
}

// A temporary folder on another volume (the small disk of with-small-disk.sh) cannot take the
// running copy by a rename: the script deletes it where it is, and no copy of it is left behind.
TEST_F(Uninstall, DISABLED_WithTheTemporaryFolderOnAnotherVolume) {
  const char* disk = std::getenv("QUORVEL_SMALL_DISK");
  if (!disk || !*disk) GTEST_SKIP() << "needs the small disk of with-small-disk.sh";
  PointTempAt(WindowsPathOf(disk));
  InstallAndStartTheCopy();
  RunUninstall();
  EXPECT_TRUE(TempCopies().empty()) << TempCopies().size() << " copies in the temporary folder";
  ExitWithoutMessage();
  ExpectTheCopyGone(DefaultInstallFolder, DefaultInstallFolder);
}

// ---- Folders typed in another spelling: ".", ".." and trailing dots are resolved before anything
// is made, recorded or compared, so the installation lies in the one canonical folder and
// Uninstall, from the full installer or from the copy as the uninstall entry starts it, takes away
// exactly what the installation made.
struct SpellingCase {
  const char* name;
  const char* typed;
  const char* folder;  // where the installation goes
  bool fromTheCopy;
};

class UninstallTypedSpelling : public Uninstall, public testing::WithParamInterface<SpellingCase> {};

TEST_P(UninstallTypedSpelling, InstallsIntoTheCanonicalFolderAndLeavesNoTrace) {
  const SpellingCase& c = GetParam();
  // Baseline after one plain run, as in the no-trace case above.
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  std::vector<std::string> before = SnapshotMachine();

  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  ASSERT_TRUE(InstallInto(setup, c.typed));
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), c.folder);
  ExpectInstalledFiles(c.folder);
  ExpectRegistration(c.folder);
  if (c.fromTheCopy) {
    std::string command;
    ASSERT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString", command));
    ASSERT_GT(command.size(), 2u);
    CloseDialogWindow(setup);
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
    EndSetup(setup);
    ASSERT_TRUE(StartSetup(setup, command.substr(1, command.size() - 2)));
    ASSERT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  }
  RunUninstall();
  ExitWithoutMessage();
  EXPECT_TRUE(WaitUntil([&] { return !DirectoryExists(c.folder) && TempCopies().empty(); }, SelfDeleteWaitMs, 100));

  std::vector<std::string> left = Differences(before, SnapshotMachine());
  std::vector<std::string> expected = {"+ C:\\windows\\kavri.ini"};
  EXPECT_EQ(left, expected) << testing::PrintToString(left);
}

// C:\users\Public\Documents was there before, empty: it stays.
INSTANTIATE_TEST_SUITE_P(
    Spellings, UninstallTypedSpelling,
    testing::Values(SpellingCase{"ParentPartFromTheCopy", "C:\\Made\\..\\users\\Public\\Documents\\xan",
                                 "C:\\users\\Public\\Documents\\xan", true},
                    SpellingCase{"ParentPart", "C:\\Made\\..\\users\\Public\\Documents\\xan",
                                 "C:\\users\\Public\\Documents\\xan", false},
                    SpellingCase{"DotPart", "C:\\New\\.\\xan", "C:\\New\\xan", false},
                    SpellingCase{"TrailingDot", "C:\\New\\xan.", "C:\\New\\xan", false}),
    [](const testing::TestParamInfo<SpellingCase>& info) { return info.param.name; });
// ---- end of the typed spellings

// ---- An installation for the current user alone: a standard user (standard_user.dll) installs
// through the dialog into the default it is offered, and nothing machine-wide is written. The
// uninstall, from the copy as the list of installed programs starts it, or by an administrator's
// run of the installer that finds the installation, leaves nothing but the user's kavri.ini.
struct OneUserCase {
  const char* name;
  bool byAnAdministrator;
};

class UninstallForOneUser : public Uninstall, public testing::WithParamInterface<OneUserCase> {};

TEST_P(UninstallForOneUser, InstallsInTheUsersOwnPlacesAndLeavesNoTrace) {
  Restart(DownloadedSetup);  // the baseline after one plain run, as above
  std::vector<std::string> before = SnapshotMachine();
  const std::string folder = OneUserFolder();
  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);

  ASSERT_TRUE(StartSetupAsStandardUser(setup, DownloadedSetup));
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), folder) << "the default for one user";
  ASSERT_TRUE(InstallInto(setup, folder));
  ExpectInstalledFiles(folder);
  ExpectRegistration(folder, "Statorix", true);
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  const std::string profile = "+ " + SpecialFolder(CSIDL_PROFILE) + "\\";
  for (const std::string& line : Differences(before, SnapshotMachine()))
    EXPECT_TRUE(line.compare(0, profile.size(), profile) == 0 || line.compare(0, 7, "+ HKCU\\") == 0)
        << "written outside the user's own places: " << line;

  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  if (GetParam().byAnAdministrator) {
    ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  } else {
    ASSERT_TRUE(StartSetupAsStandardUser(setup, DownloadedSetup));
    EXPECT_EQ(ControlText(setup, IDC_FOLDER), folder) << "read back from the user's settings";
    EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
    CloseDialogWindow(setup);
    ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
    EndSetup(setup);
    std::string command;
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, UninstallKey, "UninstallString", command));
    ASSERT_GT(command.size(), 2u);
    ASSERT_TRUE(StartSetupAsStandardUser(setup, command.substr(1, command.size() - 2)));
  }
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), folder);
  RunUninstall();
  ExitWithoutMessage();
  EXPECT_TRUE(WaitUntil([&] { return !DirectoryExists(folder) && TempCopies().empty(); }, SelfDeleteWaitMs, 100));
  // The key of the user's uninstall entries, which a new Wine prefix lacks, is Windows' own: it stays.
  std::vector<std::string> left = Differences(before, SnapshotMachine());
  std::vector<std::string> expected = {"+ " + OneUserSettingsFile(),
                                       "+ HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
  EXPECT_EQ(left, expected) << testing::PrintToString(left);
}

INSTANTIATE_TEST_SUITE_P(Uninstallers, UninstallForOneUser,
                         testing::Values(OneUserCase{"FromTheCopy", false}, OneUserCase{"ByAnAdministrator", true}),
                         [](const testing::TestParamInfo<OneUserCase>& info) { return info.param.name; });

// A standard user meets an installation for everyone: it is shown as it is, and its Uninstall,
// which only an administrator may run, is refused with a message before anything is touched.
TEST_F(Uninstall, AStandardUserIsToldThatAnInstallationForEveryoneNeedsAnAdministrator) {
  InstallAndStartTheCopy(DefaultInstallFolder, true);
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), DefaultInstallFolder);
  ClickButton(setup, IDC_UNINSTALL);
  MessageBoxSeen box;
  ASSERT_TRUE(WaitForMessageBox(setup, box));
  EXPECT_EQ(box.text, "Installed for all users, ask an administrator");
  EXPECT_EQ(box.caption, DefaultInstallFolder);
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !FindMessageBox(setup, box); }, ShortWaitMs));
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);
}

}  // namespace
