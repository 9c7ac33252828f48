// The uninstall entry's values, the settings file's defaults and limits, the group list, shell
// links made and read back, and the group's fallback from the all-users to the user's Programs.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "install/setup_state.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "registration/program_group.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"
#include "tests/wine/wine_test_support.h"

namespace {

const char* const KeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";

void PrepareState() {
  ResetSetupState();
  lstrcpyA(setup.uninstallKeyPath, KeyPath);
  groups.programsLength = 0;
  groups.groupLength = 0;
}

struct RegistryValue {
  DWORD type = 0;
  DWORD size = 0;
  std::vector<BYTE> data;
};

bool QueryValue(HKEY root, const char* path, const char* name, RegistryValue* value) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  value->data.assign(1024, 0);
  value->size = static_cast<DWORD>(value->data.size());
  LONG result = RegQueryValueExA(key, name, nullptr, &value->type, value->data.data(), &value->size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
  return path;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFileOfSize(const std::string& path, DWORD size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  std::string bytes(size, 'k');
  DWORD done = 0;
  WriteFile(file, bytes.data(), size, &done, nullptr);
  CloseHandle(file);
}

// The installed viewer's path in workPath, as the completion pass leaves it before the shortcut row.
void PointWorkPathAt(const char* folder) {
  lstrcpyA(setup.folder, folder);
  lstrcpyA(setup.workPath, folder);
  lstrcatA(setup.workPath, "\\");
  setup.folderPrefixLength = static_cast<uint16_t>(lstrlenA(setup.workPath));
  setup.rootPrefixLength = 3;
}

std::string ReadIni(const char* section, const char* key) {
  char text[512] = {};
  GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, "kavri.ini");
  return text;
}

// ---- Uninstall entry

TEST(UninstallEntry, WritesTwelveValuesWithTheirTypesAndSizes) {
  PrepareState();
  const char* const folder = "C:\\Program Files\\xan";
  CreateDirectoryA("C:\\Program Files", nullptr);
  CreateDirectoryA(folder, nullptr);
  PointWorkPathAt(folder);
  lstrcpyA(setup.uninstallerPath, "C:\\Program Files\\xan\\kavriset.exe");
  // 3,073 bytes installed: 4 KiB rounded up; the reader's later file is not the installation's.
  const std::pair<const char*, DWORD> files[] = {{"kavriset.exe", 2000}, {"Kavri1.DAT", 1000}, {"Kavri0.DAT", 72},
                                                 {"Kavri.exe", 0},       {"KavriL.dat", 1},   {"KavriV.ini", 5000}};
  for (const auto& f : files) WriteFileOfSize(std::string(folder) + "\\" + f.first, f.second);
  WriteUninstallEntry(1);  // the InstallRecord's length: it is written after the entry

  struct Expected { const char* name; const char* text; };
  const Expected strings[] = {{"DisplayName", "Quorvel"},
                              {"UninstallString", "\"C:\\Program Files\\xan\\kavriset.exe\""},
                              {"QuietUninstallString", "\"C:\\Program Files\\xan\\kavriset.exe\" /S"},
                              {"InstallLocation", "C:\\Program Files\\xan"},
                              {"Publisher", "Norvane"},
                              {"DisplayIcon", "C:\\Program Files\\xan\\kavriset.exe,0"},
                              {"DisplayVersion", "1.740"}};
  for (const Expected& e : strings) {
    RegistryValue value;
    ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, KeyPath, e.name, &value)) << e.name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << e.name;
    EXPECT_EQ(value.size, static_cast<DWORD>(lstrlenA(e.text) + 1)) << e.name;  // the NUL is stored
    EXPECT_STREQ(reinterpret_cast<const char*>(value.data.data()), e.text);
  }
  const std::pair<const char*, DWORD> numbers[] = {{"VersionMajor", 1}, {"VersionMinor", 740}, {"EstimatedSize", 4},
                                                   {"NoModify", 1},     {"NoRepair", 1}};
  for (const auto& n : numbers) {
    RegistryValue value;
    ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, KeyPath, n.first, &value)) << n.first;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << n.first;
    EXPECT_EQ(value.size, 4u) << n.first;
    DWORD number = 0;
    memcpy(&number, value.data.data(), 4);
    EXPECT_EQ(number, n.second) << n.first;
  }
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  DWORD valueCount = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr, nullptr,
                   nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(valueCount, 12u);
}

// The key is shared by every installation: uninstalling another folder, or one spelt differently
// only in case, must tell them apart.
TEST(UninstallEntry, RewriteReplacesValuesAndOnlyItsOwnFolderDeletesTheKey) {
  PrepareState();
  lstrcpyA(setup.uninstallerPath, "C:\\old\\kavriset.exe");
  lstrcpyA(setup.folder, "C:\\old");
  WriteUninstallEntry(0);
  lstrcpyA(setup.folder, "D:\\new place");
  WriteUninstallEntry(0);
  RegistryValue value;
  ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, KeyPath, "InstallLocation", &value));
  EXPECT_STREQ(reinterpret_cast<const char*>(value.data.data()), "D:\\new place");

  for (const char* other : {"C:\\old", "D:\\new place\\xan", "D:\\new"}) {
    lstrcpyA(setup.folder, other);
    DeleteUninstallEntry();
    EXPECT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, KeyPath, "InstallLocation", &value)) << other;
  }
  lstrcpyA(setup.folder, "d:\\NEW PLACE");
  DeleteUninstallEntry();
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  DeleteUninstallEntry();  // a second removal of an absent key is harmless
}

TEST(UninstallEntry, WithoutAKeyPathNothingIsWrittenUnderTheRoot) {
  PrepareState();
  setup.uninstallKeyPath[0] = '\0';
  WriteUninstallEntry(0);
  RegistryValue value;
  EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, "", "DisplayName", &value));
  EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, "", "Publisher", &value));
}

// A machine that refuses the key (the user may not write under HKEY_LOCAL_MACHINE) must leave the
// installation to complete without an entry and without a word. Wine grants every write, so the
// refusal is made real: a non-volatile key cannot be created under a volatile one.
TEST(UninstallEntry, ARefusedKeyWritesNothingAndReportsNothing) {
  PrepareState();
  const char* const Parent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, Parent);
  HKEY volatileParent = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, Parent, 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &volatileParent, nullptr));
  HKEY probe = nullptr;
  LONG refused = RegCreateKeyExA(volatileParent, "Probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &probe, nullptr);
  RegCloseKey(volatileParent);
  ASSERT_NE(ERROR_SUCCESS, refused) << "this Wine accepts the key; the refusal cannot be staged";

  lstrcpyA(setup.folder, "C:\\Program Files\\xan");
  lstrcpyA(setup.uninstallerPath, "C:\\Program Files\\xan\\kavriset.exe");
  MessageBoxAnswerer noBox(IDOK, 1500);
  WriteUninstallEntry(0);
  EXPECT_FALSE(noBox.Wait()) << "unexpected message: " << noBox.text;
  HKEY key;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_QUERY_VALUE, &key));
  RegistryValue value;
  EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, Parent, "DisplayName", &value));
}

// ---- Settings file

TEST(SettingsFile, MissingFileGivesTheDefaults) {
  PrepareState();
  lstrcpyA(setup.folder, "stale");
  ReadGroupAndFolder();
  EXPECT_STREQ(setup.groupName, "Statorix");
  EXPECT_STREQ(setup.folder, "");
  EXPECT_EQ(ReadSettingsInt("AllUsers", 0), 0);
  EXPECT_EQ(ReadSettingsInt("AllUsers", 7), 7);
}

TEST(SettingsFile, LongValuesAreCutToTheirFields) {
  PrepareState();
  std::string group(70, 'g'), folder = "C:\\" + std::string(200, 'f');
  WritePrivateProfileStringA("Installed", "Group", group.c_str(), "kavri.ini");
  WritePrivateProfileStringA("Installed", "Folder", folder.c_str(), "kavri.ini");
  ReadGroupAndFolder();
  EXPECT_EQ(std::string(setup.groupName), group.substr(0, 64));
  EXPECT_EQ(std::string(setup.folder), folder.substr(0, 195));
}

TEST(SettingsFile, AllUsersIsWrittenAsDecimalAndReadAsLow16Bits) {
  PrepareState();
  WriteSettingsInt("AllUsers", 1);
  EXPECT_EQ(ReadIni("Installed", "AllUsers"), "1");
  EXPECT_EQ(ReadSettingsInt("AllUsers", 0), 1);
  WriteSettingsInt("AllUsers", 0);
  EXPECT_EQ(ReadIni("Installed", "AllUsers"), "0");
  WriteSettingsInt("AllUsers", 65535);
  EXPECT_EQ(ReadIni("Installed", "AllUsers"), "65535");
  EXPECT_EQ(ReadSettingsInt("AllUsers", 0), 65535);
  WritePrivateProfileStringA("Installed", "AllUsers", "65537", "kavri.ini");
  EXPECT_EQ(ReadSettingsInt("AllUsers", 0), 1);
  WritePrivateProfileStringA("Installed", "AllUsers", "70000", "kavri.ini");
  EXPECT_EQ(ReadSettingsInt("AllUsers", 0), 70000 & 0xFFFF);
}

TEST(SettingsFile, GroupAndFolderRoundTripAndOnlyOfferPerchVersionIsDeleted) {
  PrepareState();
  lstrcpyA(setup.groupName, "My Group");
  lstrcpyA(setup.folder, "C:\\Program Files\\xan");
  WriteGroupAndFolder();
  WritePrivateProfileStringA("Settings", "OfferPerchVersion", "3", "kavri.ini");
  WritePrivateProfileStringA("Settings", "Other", "keep", "kavri.ini");
  DeleteOfferPerchVersion();
  EXPECT_EQ(ReadIni("Settings", "OfferPerchVersion"), "<missing>");
  EXPECT_EQ(ReadIni("Settings", "Other"), "keep");
  PrepareState();
  ReadGroupAndFolder();
  EXPECT_STREQ(setup.groupName, "My Group");
  EXPECT_STREQ(setup.folder, "C:\\Program Files\\xan");
}

// ---- Group list

struct Combo {
  Combo() {
    window = CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWN | CBS_SORT, 0, 0, 200, 200, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowTextA(window, "Typed Group");
  }
  ~Combo() { DestroyWindow(window); }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    LRESULT count = SendMessageA(window, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[512] = {};
      SendMessageA(window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    return items;
  }
  size_t CountOf(const std::string& name) const {
    size_t n = 0;
    for (const std::string& item : Items()) n += item == name;
    return n;
  }
  HWND window;
};

TEST(ProgramGroupList, ListsFoldersOfBothProgramsFoldersCutTo64Bytes) {
  PrepareState();
  std::string user = SpecialFolder(CSIDL_PROGRAMS), common = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  std::string longName(70, 'L');
  ASSERT_TRUE(CreateDirectoryA((user + "\\Both Places").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((common + "\\Both Places").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((user + "\\" + longName).c_str(), nullptr));
  WriteFileOfSize(user + "\\Plain File", 3);

  Combo combo;
  InitProgramGroups(combo.window);
  EXPECT_EQ(groups.commonProgramsFound, 1);
  EXPECT_EQ(combo.CountOf("Both Places"), 2u);
  EXPECT_EQ(combo.CountOf(longName.substr(0, 64)), 1u);
  EXPECT_EQ(combo.CountOf("Plain File"), 0u);
  EXPECT_EQ(combo.CountOf("."), 0u);
  EXPECT_EQ(combo.CountOf(".."), 0u);
  char shown[100] = {};
  GetWindowTextA(combo.window, shown, sizeof shown);
  EXPECT_STREQ(shown, "Typed Group");
  EXPECT_STREQ(groups.programsPath, common.c_str());  // cut back after the search
}

TEST(ProgramGroupList, ProgramsPathOf258BytesListsNothing) {
  PrepareState();
  Combo combo;
  std::string user = SpecialFolder(CSIDL_PROGRAMS);
  ASSERT_TRUE(CreateDirectoryA((user + "\\Visible").c_str(), nullptr));
  LocateProgramsFolder(0);
  ListProgramGroups(combo.window);
  EXPECT_EQ(combo.CountOf("Visible"), 1u);

  Combo second;
  std::string padded = user + std::string(258 - user.size(), '\\');
  lstrcpyA(groups.programsPath, padded.c_str());
  groups.programsLength = 258;
  ListProgramGroups(second.window);
  EXPECT_EQ(SendMessageA(second.window, CB_GETCOUNT, 0, 0), 0);
}

// Shift-JIS-like stepping: lead bytes 0x81-0x9F and 0xE0-0xFC take the next byte with them.
const char* DoubleByteStep(const char* text) {
  if (*text == '\0') return text;
  unsigned char c = static_cast<unsigned char>(*text);
  bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
  return text + (lead && text[1] ? 2 : 1);
}

TEST(ProgramGroupList, NamesAreCutAtACharacterBoundary) {
  struct Case { std::string name; size_t kept; };
  const Case cases[] = {
      {std::string(70, 'a'), 64},
      {std::string(64, 'a'), 64},
      {std::string(63, 'a') + "\x82\xa0" + "bbb", 63},  // bytes 64 and 65: dropped whole
      {std::string(62, 'a') + "\x82\xa0" + "bbb", 64},  // bytes 63 and 64: kept
      {"\x93\xfa\x96\x7b", 4},
      {"", 0},
  };
  for (const Case& c : cases) {
    char name[MAX_PATH] = {};
    lstrcpyA(name, c.name.c_str());
    EXPECT_EQ(FitGroupName(name, DoubleByteStep), c.kept) << c.name;
    EXPECT_EQ(std::string(name), c.name.substr(0, c.kept));
  }
}

// A group must stay inside the Programs folder; a sub-folder is fine. A 0x5C trail byte is part of
// its character, not a separator.
TEST(ProgramGroupName, StaysInsideTheProgramsFolder) {
  const char* inside[] = {"Statorix", "Books\\Quorvel", "Books/Quorvel", "a..b", ".hidden", "x.",
                          "\x95\x5c..", ""};
  const char* outside[] = {"..", "..\\..\\Escape", "Books\\..\\..", "a/../..", ".", "...", ". .",
                           "\\Escape", "/Escape", "C:\\Escape", "C:Escape", "a:b", "Books\\.."};
  for (const char* name : inside) EXPECT_TRUE(GroupNameStaysInside(name, DoubleByteStep)) << name;
  for (const char* name : outside) EXPECT_FALSE(GroupNameStaysInside(name, DoubleByteStep)) << name;
}

// ---- Paths of the group and the Startup folders

TEST(GroupPaths, LimitsAreCheckedBeforeAnyPathIsFormed) {
  PrepareState();
  ASSERT_NE(LocateProgramsFolder(0), 0);
  size_t room = PathSize - 1 - groups.programsLength;  // name length that reaches 260
  EXPECT_TRUE(BuildGroupPath(std::string(room - 1, 'n').c_str()));
  EXPECT_EQ(groups.groupLength, PathSize - 1);
  EXPECT_FALSE(BuildGroupPath(std::string(room, 'n').c_str()));
  EXPECT_EQ(groups.groupLength, 0);

  ASSERT_TRUE(BuildGroupPath("Statorix"));
  std::string group = std::string(groups.programsPath) + "\\Statorix";
  EXPECT_STREQ(groups.groupPath, group.c_str());
  EXPECT_FALSE(DeleteGroupLink(std::string(PathSize - group.size() - 5, 'x').c_str()));
  wchar_t widePath[PathSize];
  EXPECT_FALSE(MakeGroupItemPath(std::string(PathSize - group.size() - 5, 'x').c_str(), ".lnk", widePath));
  EXPECT_TRUE(MakeGroupItemPath(std::string(PathSize - group.size() - 6, 'x').c_str(), ".lnk", widePath));
  EXPECT_STREQ(groups.groupPath, group.c_str());

  groups.groupLength = 255;  // "\*.LNK" and the NUL no longer fit
  WIN32_FIND_DATAA link;
  EXPECT_EQ(FindGroupLinks(&link), INVALID_HANDLE_VALUE);

  groups.programsLength = 0;
  EXPECT_FALSE(BuildGroupPath("Statorix"));
}

TEST(GroupPaths, StartupFoldersComeFromShellFoldersAndMustBeWholeStrings) {
  PrepareState();
  const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  RegistryValue value;
  ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, shellFolders, "Startup", &value));
  ASSERT_TRUE(LocateStartupFolder(0));
  EXPECT_STREQ(groups.groupPath, reinterpret_cast<const char*>(value.data.data()));
  ASSERT_TRUE(LocateStartupFolder(1));
  EXPECT_EQ(groups.groupLength, lstrlenA(groups.groupPath));

  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shellFolders, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  std::string tooLong = "C:\\" + std::string(300, 's');
  RegSetValueExA(key, "Startup", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                 static_cast<DWORD>(tooLong.size() + 1));
  EXPECT_FALSE(LocateStartupFolder(0));
  EXPECT_EQ(groups.groupLength, 0);
  const char* expandable = "%USERPROFILE%\\Startup";
  RegSetValueExA(key, "Startup", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable),
                 lstrlenA(expandable) + 1);
  EXPECT_FALSE(LocateStartupFolder(0));
  EXPECT_STREQ(groups.groupPath, "");
  RegCloseKey(key);
  EXPECT_FALSE(DeleteGroupLink("Quorvel"));  // no path: nothing relative to the drive's root
}

// ---- Shell links

// A link is saved on a thread of its own. While it works, a question sent to the dialog's thread
// is answered (else the worker, or a program asking the dialog, would wait for the whole save), and
// a posted command or input stays queued until the work is done or its bound has passed, so
// nothing the user does runs in the middle of the completion. Work that does not end within the
// bound is left running and ends by itself later, holding its share of a block it owns.
struct WaitProbe {
  HWND window;
  HANDLE release;  // the work waits for it when set
  LONG holders = 2;
  LRESULT answer = 0;
  bool postedRan = false;
  bool workEnded = false;
};
LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return 42;
  if (message == WM_USER + 1) reinterpret_cast<WaitProbe*>(GetWindowLongPtrA(window, GWLP_USERDATA))->postedRan = true;
  return DefWindowProcA(window, message, wParam, lParam);
}
DWORD WINAPI AskThenPost(void* context) {
  WaitProbe& probe = *static_cast<WaitProbe*>(context);
  PostMessageA(probe.window, WM_USER + 1, 0, 0);
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(probe.window, WM_USER, 0, 0, SMTO_BLOCK, 60000, &answer))
    probe.answer = static_cast<LRESULT>(answer);
  if (probe.release) WaitForSingleObject(probe.release, INFINITE);
  probe.workEnded = true;
  InterlockedDecrement(&probe.holders);
  return 0;
}

TEST(Shortcuts, TheLinkThreadIsAnsweredWhileInputWaitsUntilItEndsOrItsBound) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ProbeProc;
  windowClass.lpszClassName = "QuorvelWaitProbe";
  RegisterClassA(&windowClass);
  const DWORD bound = 300;
  struct {
    const char* work;
    bool blocks;
    WorkOutcome outcome;
  } const rows[] = {{"work that ends", false, WorkFinished}, {"work that blocks", true, WorkTimedOut}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.work);
    // On the heap and not freed while the work may hold it, as the product's link save does.
    auto* probe = new WaitProbe;
    probe->window = CreateWindowA("QuorvelWaitProbe", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, probe->window);
    SetWindowLongPtrA(probe->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(probe));
    probe->release = row.blocks ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;

    DWORD start = GetTickCount();
    EXPECT_EQ(row.outcome, RunWhileAnswering(AskThenPost, probe, row.blocks ? bound : 60000));
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(42, probe->answer) << "the question sent during the work went unanswered";
    EXPECT_FALSE(probe->postedRan) << "a posted message ran while the work was in progress";
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, probe->window, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    if (row.blocks) {
      EXPECT_GE(waited + 20, bound) << "gave up before the bound";  // GetTickCount's steps
      EXPECT_LT(waited, 20 * bound) << "kept waiting long past the bound";
      EXPECT_FALSE(probe->workEnded);
      SetEvent(probe->release);
    }
    InterlockedDecrement(&probe->holders);  // the caller's share
    for (DWORD released = GetTickCount(); probe->holders != 0 && GetTickCount() - released < 30000;) Sleep(10);
    ASSERT_EQ(0, probe->holders) << "the work did not run to its end";
    EXPECT_TRUE(probe->workEnded);
    DestroyWindow(probe->window);
    if (probe->release) CloseHandle(probe->release);
    delete probe;
  }
}

TEST(Shortcuts, CreatedLinkResolvesToItsTarget) {
  PrepareState();
  CreateDirectoryA("C:\\Target Place", nullptr);
  WriteFileOfSize("C:\\Target Place\\Kavri.exe", 1234);
  LocateProgramsFolder(0);
  ASSERT_TRUE(BuildGroupPath("Round Trip"));
  CreateGroupFolder();
  ASSERT_EQ(LinkSaved, CreateShortcut("Quorvel", "C:\\Target Place\\Kavri.exe", 0));
  ASSERT_EQ(LinkSaved, CreateShortcut("Missing", "C:\\Target Place\\Not Yet.exe", 0));  // SetPath says S_FALSE
  EXPECT_TRUE(Exists(std::string(groups.groupPath) + "\\Quorvel.lnk"));

  std::vector<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindGroupLinks(&data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    std::string link = data.cFileName;
    char target[MAX_PATH] = {};
    ASSERT_TRUE(ResolveShortcut(&data, target)) << link;
    found.push_back(link);
    if (link == "Quorvel.lnk") {
      EXPECT_STREQ(target, "C:\\Target Place\\Kavri.exe");
      EXPECT_STREQ(data.cFileName, "Kavri.exe");
    } else {
      EXPECT_STREQ(target, "C:\\Target Place\\Not Yet.exe");
    }
  } while (FindNextEntry(search, &data));
  CloseEntrySearch(search);
  EXPECT_EQ(found.size(), 2u);
  EXPECT_EQ(groups.groupLength, lstrlenA(groups.groupPath));

  EXPECT_TRUE(DeleteGroupLink("Quorvel"));
  EXPECT_FALSE(Exists(std::string(groups.groupPath) + "\\Quorvel.lnk"));
  EXPECT_FALSE(DeleteGroupLink("Quorvel"));
}

TEST(Shortcuts, ALinkCannotBeSavedIntoAMissingFolder) {
  PrepareState();
  LocateProgramsFolder(0);
  ASSERT_TRUE(BuildGroupPath("Never Created"));
  EXPECT_EQ(LinkNotSaved, CreateShortcut("Quorvel", "C:\\x.exe", 0));
  EXPECT_FALSE(Exists(groups.groupPath));
}

// ---- The group made at the end of an installation

// Puts a file where the group folder would be: neither the folder nor a link in it can be made.
void BlockGroup(int csidl, const char* name) { WriteFileOfSize(SpecialFolder(csidl) + "\\" + name, 1); }

void ExpectLinkTo(const std::string& link, const char* target) {
  PrepareState();
  std::string folder = link.substr(0, link.rfind('\\'));
  lstrcpyA(groups.groupPath, folder.c_str());
  groups.groupLength = static_cast<uint16_t>(folder.size());
  WIN32_FIND_DATAA data;
  HANDLE search = FindGroupLinks(&data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << link;
  char resolved[MAX_PATH] = {};
  EXPECT_TRUE(ResolveShortcut(&data, resolved));
  CloseEntrySearch(search);
  EXPECT_STREQ(resolved, target);
}

TEST(ProgramGroupCreation, PrefersTheCommonProgramsFolder) {
  PrepareState();
  Combo combo;
  InitProgramGroups(combo.window);
  PointWorkPathAt("C:\\Program Files\\xan");
  lstrcpyA(setup.groupName, "Statorix");
  MessageBoxAnswerer none(IDOK, 1500);
  CreateProgramGroup();
  EXPECT_FALSE(none.Wait());
  EXPECT_EQ(setup.allUsers, 1);
  std::string link = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\Statorix\\Quorvel.lnk";
  EXPECT_TRUE(Exists(link));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + "\\Statorix"));
  ExpectLinkTo(link, "C:\\Program Files\\xan\\Kavri.exe");
}

TEST(ProgramGroupCreation, FallsBackToTheUsersProgramsWhenTheCommonGroupRefuses) {
  PrepareState();
  Combo combo;
  InitProgramGroups(combo.window);
  ASSERT_EQ(groups.commonProgramsFound, 1);
  BlockGroup(CSIDL_COMMON_PROGRAMS, "Statorix");
  PointWorkPathAt("C:\\Program Files\\xan");
  lstrcpyA(setup.groupName, "Statorix");
  MessageBoxAnswerer none(IDOK, 1500);
  CreateProgramGroup();
  EXPECT_FALSE(none.Wait());
  EXPECT_EQ(setup.allUsers, 0);
  std::string link = SpecialFolder(CSIDL_PROGRAMS) + "\\Statorix\\Quorvel.lnk";
  EXPECT_TRUE(Exists(link));
  ExpectLinkTo(link, "C:\\Program Files\\xan\\Kavri.exe");
}

TEST(ProgramGroupCreation, FailureInTheUsersGroupIsReportedOnce) {
  PrepareState();
  Combo combo;
  InitProgramGroups(combo.window);
  BlockGroup(CSIDL_COMMON_PROGRAMS, "Blocked");
  BlockGroup(CSIDL_PROGRAMS, "Blocked");
  PointWorkPathAt("C:\\xan");
  lstrcpyA(setup.groupName, "Blocked");
  MessageBoxAnswerer none(IDOK, 1500);
  EXPECT_FALSE(CreateProgramGroup());  // the completion tells the user, once its state is settled
  EXPECT_FALSE(none.Wait()) << none.text;
  EXPECT_EQ(setup.allUsers, 0);
}

TEST(ProgramGroupCreation, OnlyTheUsersFolderKnownMakesTheGroupThereDirectly) {
  PrepareState();
  groups.commonProgramsFound = 0;
  setup.allUsers = 1;
  BlockGroup(CSIDL_PROGRAMS, "Statorix");  // no fallback from the user's own folder
  PointWorkPathAt("C:\\xan");
  lstrcpyA(setup.groupName, "Statorix");
  EXPECT_FALSE(CreateProgramGroup());
  EXPECT_EQ(setup.allUsers, 0);
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\Statorix"));
}

// Moves a Programs folder, as the shell reports it, to an existing folder whose path is so long
// that no 64-character group fits below it.
void MoveProgramsFolderFarAway(HKEY root, const char* valueName) {
  std::string distant = "C:\\" + std::string(195, 'p');
  ASSERT_TRUE(CreateDirectoryA(distant.c_str(), nullptr));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                          KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(distant.c_str()),
                 static_cast<DWORD>(distant.size() + 1));
  RegCloseKey(key);
}

TEST(ProgramGroupCreation, NoGroupNameLeavesEverythingAsItWas) {
  PrepareState();
  groups.commonProgramsFound = 1;
  PointWorkPathAt("C:\\xan");
  setup.allUsers = 0;
  MessageBoxAnswerer none(IDOK, 1500);
  CreateProgramGroup();
  EXPECT_FALSE(none.Wait());
  EXPECT_EQ(setup.allUsers, 0);  // as the settings had it
}

TEST(ProgramGroupCreation, AnOverlongCommonGroupPathMakesNoGroupAndNoFallback) {
  PrepareState();
  MoveProgramsFolderFarAway(HKEY_LOCAL_MACHINE, "Common Programs");
  Combo combo;
  InitProgramGroups(combo.window);
  ASSERT_EQ(groups.commonProgramsFound, 1);
  PointWorkPathAt("C:\\xan");
  lstrcpyA(setup.groupName, std::string(GroupLimit, 'G').c_str());
  MessageBoxAnswerer none(IDOK, 1500);
  CreateProgramGroup();
  EXPECT_FALSE(none.Wait());
  EXPECT_EQ(setup.allUsers, 1);
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + setup.groupName));
}

TEST(ProgramGroupCreation, AnOverlongFallbackGroupPathEndsQuietly) {
  PrepareState();
  Combo combo;
  InitProgramGroups(combo.window);
  std::string name(GroupLimit, 'G');
  BlockGroup(CSIDL_COMMON_PROGRAMS, name.c_str());
  MoveProgramsFolderFarAway(HKEY_CURRENT_USER, "Programs");
  PointWorkPathAt("C:\\xan");
  lstrcpyA(setup.groupName, name.c_str());
  MessageBoxAnswerer none(IDOK, 1500);
  CreateProgramGroup();
  EXPECT_FALSE(none.Wait());
  EXPECT_EQ(setup.allUsers, 0);
}

}  // namespace
