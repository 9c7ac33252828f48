// The start-up and dialog cases' view of the one installer driver (tests/e2e/driver.h): a copy
// placed in C:\setup, a RunningSetup that ends the program when the case ends, and short names
// for what these cases ask of the driver.
#pragma once
#include <windows.h>
#include <string>

#include "tests/e2e/driver.h"
#include "tests/wine/wine_test_support.h"

namespace dialog_driver {

constexpr const char* Title = DialogTitle;
constexpr const char* SetupDir = "C:\\setup";
constexpr const char* SetupCopy = "C:\\setup\\quorvel-setup.exe";
constexpr DWORD WaitMs = ShortWaitMs;

using ::WaitUntil;

inline bool PlaceInstaller() { return ::PlaceInstaller(SetupCopy); }

inline bool WriteFileText(const char* path, const std::string& text) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

struct RunningSetup : SetupProcess {
  RunningSetup() = default;
  RunningSetup(const RunningSetup&) = delete;
  RunningSetup& operator=(const RunningSetup&) = delete;
  ~RunningSetup() { EndSetup(*this); }

  bool Launch(const char* exe = SetupCopy, const char* currentDir = SetupDir, DWORD flags = 0) {
    return LaunchSetupWith(*this, exe, currentDir ? currentDir : "", flags);
  }
  bool WaitForDialog() { return ::WaitForDialog(*this); }
  bool Start(const char* exe = SetupCopy, const char* currentDir = SetupDir) {
    return Launch(exe, currentDir) && WaitForDialog();
  }

  std::string Text(int id) const { return ControlText(*this, id); }
  bool Enabled(int id) const { return ControlEnabled(*this, id); }
  void Click(int id) const { ClickButton(*this, id); }

  bool Running() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
  // The exit code, or -1 when the program has not ended in time.
  long WaitForExit(DWORD timeoutMs = WaitMs) {
    DWORD code = 0;
    return ::WaitForExit(*this, timeoutMs, &code) ? static_cast<long>(code) : -1;
  }

  // A visible top-level dialog-class window of this process other than the main dialog: a message
  // box or the folder browser.
  HWND FindOtherWindow() const {
    MessageBoxSeen box;
    return FindMessageBox(*this, box) ? box.window : nullptr;
  }
  HWND WaitForOtherWindow() const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindOtherWindow()) != nullptr; });
    return found;
  }
};

inline std::string WindowText(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

}  // namespace dialog_driver
