// A message hook the driver places on the installer's thread: it holds the installer just before
// it handles a message of a kind the driver watches (a posted installation step, the hint timer)
// until the driver has looked at the machine or the screen, so that a test sees an exact moment
// however busy the machine is. Wine loads this DLL into the installer's process by its path.
// Talks to the driver only through named events that carry the kind and the installer's process id.
#include <windows.h>

#include <cstdio>
#include <initializer_list>

#include "app/hints.h"
#include "resources/resource_ids.h"

namespace {

// Never hold the installer forever when the driver has gone: the test fails on its own bounds.
constexpr DWORD HoldLimitMs = 120000;
constexpr DWORD HoldTextSize = 512;  // the driver's MessageHold::hintText

// The dialog's command 1 without a control window: the step the installation posts to itself.
bool IsStep(const MSG& message) {
  return message.message == WM_COMMAND && LOWORD(message.wParam) == IDOK && HIWORD(message.wParam) == 0 &&
         message.lParam == 0;
}

// The timer that ends a focus frame and moves the hint from a hovered control to the focused one.
bool IsHintTimer(const MSG& message) { return message.message == WM_TIMER && message.wParam == HintTimerId; }

// The order of the driver's HoldKind.
struct Watch {
  const char* kind;
  bool (*matches)(const MSG&);
};
constexpr Watch Watches[] = {{"Step", IsStep}, {"HintTimer", IsHintTimer}};

HANDLE OpenNamed(const char* kind, const char* event) {
  char name[64];
  std::snprintf(name, sizeof name, "QuorvelHold%s%s.%lu", kind, event, GetCurrentProcessId());
  return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
}

// The hint panel's text, for the driver: it cannot ask the held installer for it, and an edit box
// keeps its text where only its own process can read it.
void RecordHintText(const char* kind, HWND dialog) {
  char name[64];
  std::snprintf(name, sizeof name, "QuorvelHold%sHint.%lu", kind, GetCurrentProcessId());
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, HoldTextSize)) {
    GetDlgItemTextA(dialog, IDC_HINT_PANEL, static_cast<char*>(view), HoldTextSize);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

// due: set here, the message is about to be handled; go: set by the driver, handle it;
// free: set by the driver when it stops watching, handle everything.
void HoldForDriver(const char* kind, HWND dialog) {
  HANDLE due = OpenNamed(kind, "Due"), go = OpenNamed(kind, "Go"), freed = OpenNamed(kind, "Free");
  if (due && go && freed && WaitForSingleObject(freed, 0) == WAIT_TIMEOUT) {
    RecordHintText(kind, dialog);
    SetEvent(due);
    HANDLE either[] = {go, freed};
    WaitForMultipleObjects(2, either, FALSE, HoldLimitMs);
  }
  for (HANDLE event : {due, go, freed})
    if (event) CloseHandle(event);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK HoldMessage(int code, WPARAM removal, LPARAM data) {
  if (code == HC_ACTION && removal == PM_REMOVE) {
    const MSG& message = *reinterpret_cast<const MSG*>(data);
    for (const Watch& watch : Watches)
      if (watch.matches(message)) HoldForDriver(watch.kind, message.hwnd);
  }
  return CallNextHookEx(nullptr, code, removal, data);
}
