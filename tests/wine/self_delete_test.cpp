// The self-delete command for real: a copy of this test program runs from the installation folder
// as the uninstaller copy would, and the command must remove it and the folder once the copy has
// exited, leaving no script behind; also with a temporary folder whose path has spaces or is too
// long for a temporary name, and with pings planted to be run in place of the system's.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "install/setup_state.h"
#include "removal/self_delete.h"
#include "tests/wine/wine_test_support.h"

namespace {

const char* const HijackMarker = "C:\\hijacked.txt";

// Started with this argument, the copy only sleeps and ends: it plays the exiting uninstaller.
// Started under the name ping.exe or ping.com, it plays a program planted to be run instead of
// the system's ping, and leaves a marker.
const struct SleepWhenAsked {
  SleepWhenAsked() {
    if (strstr(GetCommandLineA(), "--sleep-as-uninstaller")) {
      Sleep(2500);
      ExitProcess(0);
    }
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, sizeof own);
    const char* name = strrchr(own, '\\');
    if (name && (lstrcmpiA(name, "\\ping.exe") == 0 || lstrcmpiA(name, "\\ping.com") == 0)) {
      HANDLE marker = CreateFileA(HijackMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      CloseHandle(marker);
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

TEST(ScheduleSelfDelete, RemovesTheExitedCopyAndItsFolder) {
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\x an");
}

// An unelevated program can leave a ping of its own in the temporary folder, the folder the
// deletion starts from; the elevated deletion must run none of them and still remove everything.
TEST(ScheduleSelfDelete, RunsNoPingPlantedInTheTemporaryFolder) {
  char own[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string temp = TempFolder();
  const char* const planted[] = {"ping.exe", "ping.com", "ping.bat"};
  for (const char* name : planted) {
    SCOPED_TRACE(name);
    std::string path = temp + name;
    if (strcmp(name, "ping.bat") == 0) {
      HANDLE script = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      const char text[] = "@echo planted> C:\\hijacked.txt\r\n";
      DWORD done;
      WriteFile(script, text, sizeof text - 1, &done, nullptr);
      CloseHandle(script);
    } else {
      ASSERT_TRUE(CopyFileA(own, path.c_str(), FALSE));
    }
    RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\x an");
    EXPECT_FALSE(Exists(HijackMarker));
    DeleteFileA(HijackMarker);
    DeleteFileA(path.c_str());
  }
}

TEST(ScheduleSelfDelete, WorksWithSpacesInTheTemporaryFolder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\tmp with spaces", nullptr));
  SetEnvironmentVariableA("TMP", "C:\\tmp with spaces");
  SetEnvironmentVariableA("TEMP", "C:\\tmp with spaces");
  ASSERT_EQ(TempFolder(), "C:\\tmp with spaces\\");
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\xan");
}

// No file goes into the temporary folder any more: a folder too long for a temporary name does
// not keep the copy. A path the interpreter would read as another is still refused, with a word.
TEST(ScheduleSelfDelete, NeedsNoRoomInTheTemporaryFolderAndRefusesUnsafePaths) {
  std::string tooLong = "C:\\" + std::string(244, 't');
  ASSERT_TRUE(CreateDirectoryA(tooLong.c_str(), nullptr));
  SetEnvironmentVariableA("TMP", tooLong.c_str());
  SetEnvironmentVariableA("TEMP", tooLong.c_str());
  ASSERT_EQ(TempFolder().size(), 248u);
  RunTheCopyAndScheduleItsDeletion("C:\\Sd Root\\xan");

  CreateDirectoryA("C:\\Sd Root\\100%", nullptr);
  PointStateAt("C:\\Sd Root\\100%");
  MessageBoxAnswerer box(IDOK);
  ScheduleSelfDelete();
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(box.text, "File not deleted");
  EXPECT_EQ(box.caption, "C:\\Sd Root\\100%\\kavriset.exe");
  EXPECT_TRUE(setup.selfDeletePending);
}

// The copy moved aside is deleted by its full path wherever it went, and nothing else is removed.
TEST(ScheduleSelfDelete, RemovesTheMovedCopyByItsFullPath) {
  CreateDirectoryA("C:\\Sd Root", nullptr);
  std::string folder = "C:\\Sd Root\\moved";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  HANDLE copy = StartSleepingCopy(folder);
  ASSERT_NE(copy, nullptr);
  PointStateAt("C:\\Sd Root\\xan");
  lstrcpyA(setup.movedCopyPath, (folder + "\\kavriset.exe").c_str());
  ScheduleSelfDelete();
  EXPECT_FALSE(setup.selfDeletePending);
  for (DWORD waited = 0; waited < 60000 && Exists(folder + "\\kavriset.exe"); waited += 200) Sleep(200);
  EXPECT_FALSE(Exists(folder + "\\kavriset.exe"));
  EXPECT_TRUE(Exists(folder));
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
