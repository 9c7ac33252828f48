// The self-delete script for real: a copy of this test program runs from the installation folder
// as the uninstaller copy would, and the script must remove it, the folder and itself once the
// copy has exited; also with a temporary folder whose path has spaces, and at the length limit.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "install/setup_state.h"
#include "removal/self_delete.h"
#include "tests/wine/wine_test_support.h"

namespace {

// Started with this argument, the copy only sleeps and ends: it plays the exiting uninstaller.
const struct SleepWhenAsked {
  SleepWhenAsked() {
    if (strstr(GetCommandLineA(), "--sleep-as-uninstaller")) {
      Sleep(2500);
      ExitProcess(0);
    }
  }
} sleepWhenAsked;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string TempFolder() {
  char path[MAX_PATH] = {};
  GetTempPathA(sizeof path, path);
  return path;
}

std::vector<std::string> ScriptsIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "xan*.bat").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void PointStateAt(const std::string& folder) {
  ResetSetupState();
  lstrcpyA(setup.folder, folder.c_str());
  lstrcpyA(setup.workPath, (folder + "\\").c_str());
  setup.folderPrefixLength = static_cast<uint16_t>(folder.size() + 1);
  setup.rootPrefixLength = 3;
  setup.createdFolderLength = static_cast<uint16_t>(folder.size());  // the folder, not its parent
  setup.selfDeletePending = true;
}

// Copies this program into the folder as the uninstaller copy and starts it.
HANDLE StartSleepingCopy(const std::string& folder) {
  char own[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string copy = folder + "\\kavriset.exe";
  if (!CopyFileA(own, copy.c_str(), FALSE)) return nullptr;
  std::string command = "\"" + copy + "\" --sleep-as-uninstaller";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, "C:\\",
                      &startup, &started))
    return nullptr;
  CloseHandle(started.hThread);
  Sleep(300);
  return started.hProcess;
}

// Waits until the copy, the folder and every script in the temporary folder have gone.
bool WaitUntilAllGone(const std::string& folder, const std::string& temp, DWORD limitMs) {
  for (DWORD waited = 0; waited < limitMs; waited += 200) {
    if (!Exists(folder + "\\kavriset.exe") && !Exists(folder) && ScriptsIn(temp).empty()) return true;
    Sleep(200);
  }
  return false;
}

void RunTheCopyAndScheduleItsDeletion(const std::string& folder) {
  CreateDirectoryA("C:\\Sd Root", nullptr);
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  HANDLE copy = StartSleepingCopy(folder);
  ASSERT_NE(copy, nullptr);
  ASSERT_FALSE(DeleteFileA((folder + "\\kavriset.exe").c_str()));  // running: cannot go yet
  PointStateAt(folder);

  // The uninstaller's own current directory is often the installation folder; the script must
  // not inherit it. This program leaves it at once, as the uninstaller does by exiting.
  SetCurrentDirectoryA(folder.c_str());
  MessageBoxAnswerer none(IDOK, 1000);
  ScheduleSelfDelete();
  SetCurrentDirectoryA("C:\\");
  EXPECT_FALSE(none.Wait()) << none.text;
  EXPECT_FALSE(setup.selfDeletePending);

  std::string temp = TempFolder();
  EXPECT_TRUE(WaitUntilAllGone(folder, temp, 60000))
      << "copy " << Exists(folder + "\\kavriset.exe") << " folder " << Exists(folder) << " scripts "
      << ScriptsIn(temp).size();
  EXPECT_EQ(WaitForSingleObject(copy, 60000), WAIT_OBJECT_0);
  CloseHandle(copy);
  EXPECT_TRUE(Exists("C:\\Sd Root"));  // only the installation folder itself is removed
}

TEST(ScheduleSelfDelete, RemovesTheExitedCopyItsFolderAndTheScript) {
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\x an");
}

TEST(ScheduleSelfDelete, WorksWithSpacesInTheTemporaryFolder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\tmp with spaces", nullptr));
  SetEnvironmentVariableA("TMP", "C:\\tmp with spaces");
  SetEnvironmentVariableA("TEMP", "C:\\tmp with spaces");
  ASSERT_EQ(TempFolder(), "C:\\tmp with spaces\\");
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\xan");
}

// 247 bytes of temporary folder still take the 11-character name; 248 do not.
TEST(ScheduleSelfDelete, TemporaryFolderAtTheLengthLimit) {
  std::string longest = "C:\\" + std::string(243, 't');
  ASSERT_TRUE(CreateDirectoryA(longest.c_str(), nullptr));
  SetEnvironmentVariableA("TMP", longest.c_str());
  SetEnvironmentVariableA("TEMP", longest.c_str());
  ASSERT_EQ(TempFolder().size(), 247u);
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\xan");

  std::string tooLong = "C:\\" + std::string(244, 't');
  SetEnvironmentVariableA("TMP", tooLong.c_str());
  SetEnvironmentVariableA("TEMP", tooLong.c_str());
  ASSERT_EQ(TempFolder().size(), 248u);
  CreateDirectoryA("C:\\Sd Root\\xan", nullptr);
  PointStateAt("C:\\Sd Root\\xan");
  MessageBoxAnswerer box(IDOK);
  ScheduleSelfDelete();
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(box.text, "File not deleted");
  EXPECT_EQ(box.caption, "C:\\Sd Root\\xan\\kavriset.exe");
  EXPECT_TRUE(setup.selfDeletePending);
}

// Scripts already present under the first letter for every millisecond are never overwritten;
// the next letter is taken instead.
TEST(ScheduleSelfDelete, TakenNamesAreSkippedNotOverwritten) {
  std::string temp = TempFolder();
  for (unsigned ms = 0; ms < 1000; ++ms) {
    char name[16];
    ASSERT_TRUE(FormatScriptName(name, sizeof name, ms, 'a'));
    HANDLE file = CreateFileA((temp + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD done;
    WriteFile(file, "keep", 4, &done, nullptr);
    CloseHandle(file);
  }
  CreateDirectoryA("C:\\Sd Root", nullptr);
  std::string folder = "C:\\Sd Root\\xan";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  HANDLE copy = StartSleepingCopy(folder);
  ASSERT_NE(copy, nullptr);
  PointStateAt(folder);
  ScheduleSelfDelete();
  EXPECT_FALSE(setup.selfDeletePending);
  // The script removes the folder, then itself.
  for (DWORD waited = 0; waited < 60000 && (Exists(folder) || ScriptsIn(temp).size() > 1000); waited += 200)
    Sleep(200);
  EXPECT_FALSE(Exists(folder));
  std::vector<std::string> left = ScriptsIn(temp);
  EXPECT_EQ(left.size(), 1000u);
  for (const std::string& name : left) EXPECT_EQ(name[6], 'a') << name;
  WaitForSingleObject(copy, 60000);
  CloseHandle(copy);
}

TEST(ScheduleSelfDelete, DoesNothingWhenNoDeletionIsPending) {
  CreateDirectoryA("C:\\Sd Root", nullptr);
  CreateDirectoryA("C:\\Sd Root\\xan", nullptr);
  PointStateAt("C:\\Sd Root\\xan");
  setup.selfDeletePending = false;
  MessageBoxAnswerer none(IDOK, 1000);
  ScheduleSelfDelete();
  EXPECT_FALSE(none.Wait());
  Sleep(1000);
  EXPECT_TRUE(ScriptsIn(TempFolder()).empty());
  EXPECT_TRUE(Exists("C:\\Sd Root\\xan"));
}

}  // namespace
