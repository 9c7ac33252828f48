// The uninstall sequence without a dialog: what it removes, what it must leave alone (other
// people's shortcuts and files, files held by other programs, the drive root) and the byte count.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "install/setup_state.h"
#include "registration/program_group.h"
#include "registration/uninstall_entry.h"
#include "removal/uninstall.h"
#include "tests/wine/wine_test_support.h"

namespace {

const char* const Folder = "C:\\Pub Lish\\xan";
const char* const KeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";

struct InstalledFile { const char* name; DWORD size; };
const InstalledFile Installed[] = {{"kavriset.exe", 300}, {"Kavri1.DAT", 1000}, {"Kavri0.DAT", 500},
                                   {"Kavri.exe", 2000},   {"KavriL.dat", 40},   {"KavriV.ini", 70}};
const uint32_t CountedBytes = 300 + 1000 + 500 + 2000;  // KindFile rows only

std::string In(const char* folder, const char* name) { return std::string(folder) + "\\" + name; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFileOfSize(const std::string& path, DWORD size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  std::string bytes(size, 'q');
  DWORD done = 0;
  WriteFile(file, bytes.data(), size, &done, nullptr);
  CloseHandle(file);
}

std::string UsersPrograms() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
  return path;
}

void SetFolder(const char* folder, uint16_t rootLength) {
  lstrcpyA(setup.folder, folder);
  lstrcpyA(setup.workPath, folder);
  if (lstrlenA(folder) > 3) lstrcatA(setup.workPath, "\\");
  setup.folderPrefixLength = static_cast<uint16_t>(lstrlenA(setup.workPath));
  setup.rootPrefixLength = rootLength;
}

// The state a run finds when the publication is installed: files, key, group, settings.
void InstallByHand() {
  ResetSetupState();
  lstrcpyA(setup.uninstallKeyPath, KeyPath);
  lstrcpyA(setup.groupName, "Statorix");
  setup.allUsers = 0;
  SetFolder(Folder, 3);
  CreateDirectoryA("C:\\Pub Lish", nullptr);
  CreateDirectoryA(Folder, nullptr);
  for (const InstalledFile& file : Installed) WriteFileOfSize(In(Folder, file.name), file.size);
  setup.installed = setup.partiallyInstalled = setup.openAvailable = setup.installedThisRun = true;
  setup.bytesDone = ProgressTotal;
  lstrcpyA(setup.uninstallerPath, In(Folder, "kavriset.exe").c_str());
  WriteUninstallEntry(0);
  // What the installation noted when it made the folders and the group.
  WritePrivateProfileStringA("Installed", "CreatedFolder", "C:\\Pub Lish", "kavri.ini");
  WritePrivateProfileStringA("Installed", "CreatedFor", (std::string("C:\\Pub Lish*") + Folder).c_str(), "kavri.ini");
  WritePrivateProfileStringA("Installed", "CreatedGroup", (UsersPrograms() + "\\Statorix").c_str(), "kavri.ini");
}

// A shortcut named `name` in the user's group folder `group`, pointing at `target`.
void MakeLink(const char* group, const char* name, const std::string& target) {
  LocateProgramsFolder(0);
  ASSERT_TRUE(BuildGroupPath(group));
  CreateGroupFolder();
  ASSERT_EQ(LinkSaved, CreateShortcut(name, target.c_str(), 0)) << name;
}

struct HeldFile {
  HeldFile(const std::string& path, DWORD share) {
    handle = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~HeldFile() { CloseHandle(handle); }
  HANDLE handle;
};

TEST(RunUninstall, RemovesEverythingTheInstallationMade) {
  InstallByHand();
  MakeLink("Statorix", "Quorvel", In(Folder, "Kavri.exe"));
  std::string group = UsersPrograms() + "\\Statorix";
  ASSERT_TRUE(LocateStartupFolder(0));
  std::string startup = groups.groupPath;
  ASSERT_EQ(LinkSaved, CreateShortcut("Quorvel", In(Folder, "Kavri.exe").c_str(), 0));
  WritePrivateProfileStringA("Settings", "OfferPerchVersion", "2", "kavri.ini");
  WritePrivateProfileStringA("Installed", "Group", "Statorix", "kavri.ini");

  MessageBoxAnswerer none(IDOK, 1500);
  RunUninstall();
  EXPECT_FALSE(none.Wait()) << none.caption;

  for (const InstalledFile& file : Installed) EXPECT_FALSE(Exists(In(Folder, file.name))) << file.name;
  EXPECT_FALSE(Exists(Folder));
  EXPECT_FALSE(Exists("C:\\Pub Lish"));
  EXPECT_FALSE(Exists(group));
  EXPECT_FALSE(Exists(startup + "\\Quorvel.lnk"));
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  char text[32] = {};
  GetPrivateProfileStringA("Settings", "OfferPerchVersion", "gone", text, sizeof text, "kavri.ini");
  EXPECT_STREQ(text, "gone");
  GetPrivateProfileStringA("Installed", "Group", "gone", text, sizeof text, "kavri.ini");
  EXPECT_STREQ(text, "Statorix");
  EXPECT_FALSE(setup.installed || setup.partiallyInstalled || setup.openAvailable || setup.installedThisRun);
  EXPECT_FALSE(setup.selfDeletePending);
  EXPECT_EQ(setup.bytesDone, 0u);
}

// Held with reading shared, or with nothing shared at all: either way the file is in use.
TEST(RunUninstall, AFileInUseStopsItBeforeAnythingChanges) {
  for (DWORD sharing : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
    SCOPED_TRACE(sharing);
    InstallByHand();
    MakeLink("Statorix", "Quorvel", In(Folder, "Kavri.exe"));
    HeldFile data(In(Folder, "Kavri1.DAT"), sharing);
    MessageBoxAnswerer box(IDOK);
    RunUninstall();
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.caption, "Publication in use");
    for (const InstalledFile& file : Installed) EXPECT_TRUE(Exists(In(Folder, file.name))) << file.name;
    EXPECT_TRUE(Exists(UsersPrograms() + "\\Statorix\\Quorvel.lnk"));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_TRUE(setup.installed);
    EXPECT_EQ(setup.bytesDone, ProgressTotal);
  }
}

// Uninstall refuses while an installation runs: its steps would go on writing into a folder whose
// files and key are gone.
TEST(RunUninstall, DoesNothingWhileInstalling) {
  InstallByHand();
  setup.installing = true;
  MessageBoxAnswerer none(IDOK, 1000);
  RunUninstall();
  EXPECT_FALSE(none.Wait()) << none.text;
  for (const InstalledFile& file : Installed) EXPECT_TRUE(Exists(In(Folder, file.name))) << file.name;
  EXPECT_TRUE(setup.installed);
}

// The other files still go; what a later Uninstall needs to finish stays: the uninstaller copy,
// the begun record, the created-folder record and the uninstall entry.
TEST(RunUninstall, AnUndeletableFileIsReportedAndWhatFinishesItStays) {
  InstallByHand();
  HeldFile notes(In(Folder, "KavriV.ini"), FILE_SHARE_READ);  // readable, not deletable
  MessageBoxAnswerer box(IDOK);
  RunUninstall();
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(box.text, "File not deleted");
  EXPECT_EQ(box.caption, In(Folder, "KavriV.ini"));
  for (const char* name : {"Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
    EXPECT_FALSE(Exists(In(Folder, name))) << name;
  for (const char* name : {"KavriV.ini", "kavriset.exe", "KavriB.dat"}) EXPECT_TRUE(Exists(In(Folder, name))) << name;
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  char text[MAX_PATH] = {};
  GetPrivateProfileStringA("Installed", "CreatedFolder", "", text, sizeof text, "kavri.ini");
  EXPECT_STREQ(text, "C:\\Pub Lish");
  EXPECT_FALSE(setup.selfDeletePending);
  EXPECT_FALSE(setup.installed);
  EXPECT_TRUE(setup.partiallyInstalled);
}

// A copy that will not go although it is not the running program (another program holds it) is
// reported like any other file; only the running program's own file is left for later.
TEST(RunUninstall, AnUndeletableCopyThatIsNotTheRunningProgramIsReported) {
  InstallByHand();
  HeldFile copy(In(Folder, "kavriset.exe"), FILE_SHARE_READ);
  MessageBoxAnswerer box(IDOK);
  RunUninstall();
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(box.text, "File not deleted");
  EXPECT_EQ(box.caption, In(Folder, "kavriset.exe"));
  EXPECT_FALSE(setup.selfDeletePending);
  EXPECT_TRUE(Exists(In(Folder, "kavriset.exe")));
  EXPECT_FALSE(Exists(In(Folder, "Kavri.exe")));
  EXPECT_FALSE(setup.installed);
}

TEST(RemoveInstalledFiles, CountsKindFileSizesAndNeverGoesBelowZero) {
  InstallByHand();
  setup.bytesDone = CountedBytes + 777;
  RemoveInstalledFiles();
  // KavriV.ini and KavriL.dat are not counted, the uninstaller copy (300) goes later
  EXPECT_EQ(setup.bytesDone, 300u + 777u);

  InstallByHand();
  setup.bytesDone = 1200;  // less than the files' sizes: stops at 0 instead of wrapping
  RemoveInstalledFiles();
  EXPECT_EQ(setup.bytesDone, 0u);

  InstallByHand();
  DeleteFileA(In(Folder, "KavriV.ini").c_str());
  DeleteFileA(In(Folder, "Kavri0.DAT").c_str());
  setup.bytesDone = CountedBytes;
  MessageBoxAnswerer none(IDOK, 1500);
  RemoveInstalledFiles();
  EXPECT_FALSE(none.Wait()) << none.caption;  // absent files are no failure
  EXPECT_EQ(setup.bytesDone, 300u + 500u);
}

// The group also holds the user's own shortcuts: one to an unrelated file, one to a file named
// like the viewer in another folder. Both stay with their targets, and so does the folder.
TEST(RemoveProgramGroup, OnlyShortcutsIntoTheInstallationFolderGo) {
  InstallByHand();
  CreateDirectoryA("C:\\Elsewhere", nullptr);
  WriteFileOfSize("C:\\Elsewhere\\notes.txt", 10);
  WriteFileOfSize("C:\\Elsewhere\\Kavri.exe", 20);
  MakeLink("Statorix", "Quorvel", "c:/PUB LISH//Xan\\kavri.EXE");  // another spelling of the folder
  MakeLink("Statorix", "Notes", "C:\\Elsewhere\\notes.txt");
  MakeLink("Statorix", "Other Viewer", "C:\\Elsewhere\\Kavri.exe");
  std::string group = UsersPrograms() + "\\Statorix";
  setup.bytesDone = 5000;

  RemoveProgramGroup();
  EXPECT_FALSE(Exists(In(Folder, "Kavri.exe")));
  EXPECT_FALSE(Exists(group + "\\Quorvel.lnk"));
  EXPECT_EQ(setup.bytesDone, 3000u);
  EXPECT_TRUE(Exists(group + "\\Notes.lnk"));
  EXPECT_TRUE(Exists(group + "\\Other Viewer.lnk"));
  EXPECT_TRUE(Exists("C:\\Elsewhere\\notes.txt"));
  EXPECT_TRUE(Exists("C:\\Elsewhere\\Kavri.exe"));
  EXPECT_TRUE(Exists(group));
}

TEST(RemoveProgramGroup, AnEmptyGroupGoesAtOnceAndNoGroupNameTouchesNothing) {
  InstallByHand();
  std::string group = UsersPrograms() + "\\Statorix";
  ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr));
  RemoveProgramGroup();
  EXPECT_FALSE(Exists(group));

  InstallByHand();
  MakeLink("Statorix", "Quorvel", In(Folder, "Kavri.exe"));
  setup.groupName[0] = '\0';
  RemoveProgramGroup();
  EXPECT_TRUE(Exists(group + "\\Quorvel.lnk"));
  EXPECT_TRUE(Exists(In(Folder, "Kavri.exe")));
}

// Only the folders the installation made go, deepest first and only when empty; the folders
// that were there before stay even when empty, and the root always does.
TEST(RemoveFolderChain, RemovesOnlyTheCreatedFoldersAndNeverTheRoot) {
  ResetSetupState();
  auto makeChain = [] {
    CreateDirectoryA("C:\\a", nullptr);
    CreateDirectoryA("C:\\a\\b", nullptr);
    CreateDirectoryA("C:\\a\\b\\c", nullptr);
  };
  makeChain();
  SetFolder("C:\\a\\b\\c", 3);
  setup.createdFolderLength = 4;  // C:\a and below
  RemoveFolderChain();
  EXPECT_FALSE(Exists("C:\\a"));

  makeChain();
  WriteFileOfSize("C:\\a\\keep.txt", 1);
  RemoveFolderChain();
  EXPECT_FALSE(Exists("C:\\a\\b"));
  EXPECT_TRUE(Exists("C:\\a\\keep.txt"));
  DeleteFileA("C:\\a\\keep.txt");

  makeChain();
  setup.createdFolderLength = 8;  // only C:\a\b\c: the user's empty C:\a\b and C:\a stay
  RemoveFolderChain();
  EXPECT_FALSE(Exists("C:\\a\\b\\c"));
  EXPECT_TRUE(Exists("C:\\a\\b"));

  setup.createdFolderLength = 0;  // nothing made: an existing empty folder stays
  SetFolder("C:\\a\\b", 3);
  RemoveFolderChain();
  EXPECT_TRUE(Exists("C:\\a\\b"));

  // A resolved base directory as root: "C:\a\" is the root here and stays although empty.
  SetFolder("C:\\a\\b", 5);
  setup.createdFolderLength = 4;
  RemoveFolderChain();
  EXPECT_FALSE(Exists("C:\\a\\b"));
  EXPECT_TRUE(Exists("C:\\a"));

  // A bare drive root: "C:" alone would name the current directory of drive C.
  CreateDirectoryA("C:\\empty cwd", nullptr);
  SetCurrentDirectoryA("C:\\empty cwd");
  SetFolder("C:\\", 3);
  setup.createdFolderLength = 3;
  RemoveFolderChain();
  SetCurrentDirectoryA("C:\\");
  EXPECT_TRUE(Exists("C:\\empty cwd"));
}

TEST(FindLastSeparator, OffsetOfTheLastOneWithinTheCount) {
  struct Case { const char* text; int count; int expected; };
  const Case cases[] = {{"a\\b\\c", 5, 3}, {"a\\b\\c", 3, 1}, {"a\\b\\c", 4, 3}, {"abc", 3, 3},
                        {"\\", 1, 0},       {"x\\", 0, 0},     {"ab\\\\", 4, 3}};
  for (const Case& c : cases)
    EXPECT_EQ(FindLastSeparator(c.count, c.text, '\\'), c.expected) << c.text << " " << c.count;
}

}  // namespace
