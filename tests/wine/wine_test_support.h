// Helpers for the Wine tests: Windows paths of build outputs, and answering message boxes.
#pragma once
#include <windows.h>
#include <string>

// A Unix path of the build as Wine sees it (drive Z: maps the root).
std::string WindowsPathOf(const char* unixPath);

// Watches for one message box on a thread of its own, records its caption and text, and answers
// it with `button` (IDOK, IDCANCEL, IDRETRY ...). Wait() returns false when none came in time.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(int button, DWORD timeoutMs = 60000);
  ~MessageBoxAnswerer();
  bool Wait();
  std::string caption;
  std::string text;
 private:
  static DWORD WINAPI Run(void* self);
  int button_;
  DWORD timeoutMs_;
  HANDLE thread_;
  bool seen_ = false;
};
