// Helpers for the Wine tests.
#include "tests/wine/wine_test_support.h"

std::string WindowsPathOf(const char* unixPath) {
  std::string path = "Z:";
  for (const char* p = unixPath; *p; ++p) path += (*p == '/') ? '\\' : *p;
  return path;
}

namespace {
struct BoxSearch { HWND found; DWORD thread; };
BOOL CALLBACK FindBox(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window) &&
      GetWindowThreadProcessId(window, nullptr) != search->thread) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int button, DWORD timeoutMs)
    : button_(button), timeoutMs_(timeoutMs) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

bool MessageBoxAnswerer::Wait() {
  WaitForSingleObject(thread_, INFINITE);
  return seen_;
}

DWORD WINAPI MessageBoxAnswerer::Run(void* self) {
  auto* me = static_cast<MessageBoxAnswerer*>(self);
  for (DWORD waited = 0; waited < me->timeoutMs_; waited += 50) {
    BoxSearch search = {nullptr, GetCurrentThreadId()};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      char buffer[1024] = {};
      GetWindowTextA(search.found, buffer, sizeof buffer);
      me->caption = buffer;
      buffer[0] = '\0';
      GetDlgItemTextA(search.found, 0xFFFF, buffer, sizeof buffer);
      me->text = buffer;
      me->seen_ = true;
      HWND button = GetDlgItem(search.found, me->button_);
      if (button) PostMessageA(button, BM_CLICK, 0, 0);
      else PostMessageA(search.found, WM_COMMAND, me->button_, 0);
      return 0;
    }
    Sleep(50);
  }
  return 0;
}
