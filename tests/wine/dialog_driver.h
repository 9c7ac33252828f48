// Drives the built installer from outside its process for the start-up and dialog tests: places
// a copy, starts it, finds its dialog by title, reads and clicks controls and waits for its end.
// Every wait is bounded so that a hung installer fails its test instead of the whole run.
#pragma once
#include <windows.h>
#include <string>

#include "tests/wine/wine_test_support.h"

namespace dialog_driver {

constexpr const char* Title = "Setup - Quorvel";
constexpr const char* SetupDir = "C:\\setup";
constexpr const char* SetupCopy = "C:\\setup\\quorvel-setup.exe";
constexpr DWORD WaitMs = 15000;

template <typename Condition>
inline bool WaitUntil(Condition condition, DWORD timeoutMs = WaitMs) {
  for (DWORD waited = 0;; waited += 25) {
    if (condition()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(25);
  }
}

inline bool PlaceInstaller() {
  CreateDirectoryA(SetupDir, nullptr);
  return CopyFileA(WindowsPathOf(QUORVEL_SETUP_EXE).c_str(), SetupCopy, FALSE) != 0;
}

inline bool WriteFileText(const char* path, const std::string& text) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

struct RunningSetup;
struct OtherWindowSearch {
  const RunningSetup* self;
  HWND found;
};
inline BOOL CALLBACK MatchOtherWindow(HWND window, LPARAM data);

struct RunningSetup {
  PROCESS_INFORMATION process = {};
  HWND dialog = nullptr;

  RunningSetup() = default;
  RunningSetup(const RunningSetup&) = delete;
  RunningSetup& operator=(const RunningSetup&) = delete;
  ~RunningSetup() {
    if (!process.hProcess) return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }

  // Starts the program without waiting for anything.
  bool Launch(const char* exe = SetupCopy, const char* currentDir = SetupDir, DWORD flags = 0) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + exe + "\"";
    return CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, currentDir,
                          &startup, &process) != 0;
  }

  // The dialog of this process, found by its title.
  bool WaitForDialog() {
    return WaitUntil([this] {
      HWND found = FindWindowA(nullptr, Title);
      DWORD owner = 0;
      if (found) GetWindowThreadProcessId(found, &owner);
      if (!found || owner != process.dwProcessId || !IsWindowVisible(found)) return false;
      dialog = found;
      return true;
    });
  }

  bool Start(const char* exe = SetupCopy, const char* currentDir = SetupDir) {
    return Launch(exe, currentDir) && WaitForDialog();
  }

  std::string Text(int id) const {
    char buffer[512] = {};
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof buffer,
                        reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
  }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }
  // Posted, so that a click that opens a modal window does not block the driver.
  void Click(int id) const { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

  bool Running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
  // The exit code, or -1 when the program has not ended in time.
  long WaitForExit(DWORD timeoutMs = WaitMs) const {
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
  }

  // A visible top-level dialog-class window of this process other than the main dialog: a message
  // box or the folder browser.
  HWND FindOtherWindow() const {
    OtherWindowSearch search = {this, nullptr};
    EnumWindows(MatchOtherWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  HWND WaitForOtherWindow() const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindOtherWindow()) != nullptr; });
    return found;
  }
};

inline BOOL CALLBACK MatchOtherWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<OtherWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (owner != search->self->process.dwProcessId || window == search->self->dialog ||
      !IsWindowVisible(window) || lstrcmpA(cls, "#32770") != 0)
    return TRUE;
  search->found = window;
  return FALSE;
}

inline std::string WindowText(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

}  // namespace dialog_driver
