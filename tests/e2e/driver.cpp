// The driver's side of the installer's user interface: process start and end, the dialog's
// controls read and clicked from another process, and the installer's message boxes.
#include "tests/e2e/driver.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "tests/e2e/machine_state.h"
#include "tests/wine/wine_test_support.h"

namespace {

// A read waits as long as any other state: a loaded machine can stall the installer for seconds.
constexpr UINT SendTimeoutMs = ShortWaitMs;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  if (owner == search->processId && lstrcmpA(title, DialogTitle) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct BoxSearch {
  DWORD processId;
  HWND dialog;
  HWND found;
};

BOOL CALLBACK FindBoxWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  if (window == search->dialog || !IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (owner == search->processId && lstrcmpA(cls, "#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::string WindowText(HWND window) {
  char text[1024] = {};
  DWORD_PTR copied = 0;
  if (!window) return std::string();
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, SendTimeoutMs, &copied))
    return std::string();
  return std::string(text, copied < sizeof text ? copied : sizeof text - 1);
}

}  // namespace

// Declared with the machine's state, which reads what the installer leaves; here because the
// dialog cases, which have no use for the rest of it, place the installer too.
bool MakeDirectories(const std::string& path) {
  for (size_t at = 3; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '\\') {
      std::string part = path.substr(0, at);
      DWORD attributes = GetFileAttributesA(part.c_str());
      bool isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      if (!isFolder && !CreateDirectoryA(part.c_str(), nullptr)) return false;
    }
  }
  return true;
}

bool CopyToPath(const std::string& from, const std::string& to) {
  std::string dir = DirectoryOf(to);
  if (!dir.empty() && !MakeDirectories(dir)) return false;
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool PlaceInstaller(const std::string& windowsPath) {
  return CopyToPath(WindowsPathOf(QUORVEL_SETUP_EXE), windowsPath);
}

bool LaunchSetup(SetupProcess& setup, const std::string& exePath, const std::string& currentDir) {
  return LaunchSetupWith(setup, exePath, currentDir, 0);
}

bool LaunchSetupWith(SetupProcess& setup, const std::string& exePath, const std::string& currentDir,
                     DWORD creationFlags, const std::string& arguments) {
  std::string dir = currentDir.empty() ? DirectoryOf(exePath) : currentDir;
  std::string commandLine = "\"" + exePath + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exePath.c_str(), arguments.empty() ? nullptr : &commandLine[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &startup, &info))
    return false;
  setup.process = info.hProcess;
  setup.thread = info.hThread;
  setup.processId = info.dwProcessId;
  setup.threadId = info.dwThreadId;
  setup.exePath = exePath;
  setup.dialog = nullptr;
  return true;
}

bool WaitForDialog(SetupProcess& setup, DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        DialogSearch search = {setup.processId, nullptr};
        EnumWindows(FindDialogWindow, reinterpret_cast<LPARAM>(&search));
        setup.dialog = search.found;
        return setup.dialog != nullptr && IsWindowVisible(setup.dialog);
      },
      timeoutMs);
}

bool StartSetup(SetupProcess& setup, const std::string& exePath, const std::string& currentDir) {
  return LaunchSetup(setup, exePath, currentDir) && WaitForDialog(setup);
}

// A thread of the driver's making runs LoadLibraryA in the suspended process: the DLL is in place
// before the program's own first instruction, and with it every call the program makes.
bool StartSetupAsStandardUser(SetupProcess& setup, const std::string& exePath) {
  return LaunchSetupAsStandardUser(setup, exePath) && WaitForDialog(setup);
}

bool LaunchSetupAsStandardUser(SetupProcess& setup, const std::string& exePath, const std::string& arguments) {
  if (!LaunchSetupWith(setup, exePath, "", CREATE_SUSPENDED, arguments)) return false;
  const std::string library = WindowsPathOf(QUORVEL_STANDARD_USER_DLL);
  void* name = VirtualAllocEx(setup.process, nullptr, library.size() + 1, MEM_COMMIT, PAGE_READWRITE);
  auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
  HANDLE loader = name && WriteProcessMemory(setup.process, name, library.c_str(), library.size() + 1, nullptr)
                      ? CreateRemoteThread(setup.process, nullptr, 0, load, name, 0, nullptr)
                      : nullptr;
  DWORD module = 0;
  bool loaded = loader && WaitForSingleObject(loader, ShortWaitMs) == WAIT_OBJECT_0 &&
                GetExitCodeThread(loader, &module) && module != 0;
  if (loader) CloseHandle(loader);
  // Left suspended otherwise: the test fails, and EndSetup ends the process.
  return loaded && ResumeThread(setup.thread) != static_cast<DWORD>(-1);
}

void EndSetup(SetupProcess& setup) {
  if (setup.process) {
    if (WaitForSingleObject(setup.process, 0) == WAIT_TIMEOUT) TerminateProcess(setup.process, 1);
    CloseHandle(setup.process);
  }
  if (setup.thread) CloseHandle(setup.thread);
  setup = SetupProcess();
}

std::string ControlText(const SetupProcess& setup, int id) {
  return WindowText(GetDlgItem(setup.dialog, id));
}

bool ControlEnabled(const SetupProcess& setup, int id) {
  HWND control = GetDlgItem(setup.dialog, id);
  return control && IsWindowEnabled(control);
}

int FocusedControlId(const SetupProcess& setup) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(setup.threadId, &info) || !info.hwndFocus) return 0;
  HWND focus = info.hwndFocus;
  // The edit box inside the group combo box stands for the combo box.
  while (focus && GetParent(focus) && GetParent(focus) != setup.dialog) focus = GetParent(focus);
  return focus ? GetDlgCtrlID(focus) : 0;
}

bool WaitForFocus(const SetupProcess& setup, int id, DWORD timeoutMs) {
  return WaitUntil([&] { return FocusedControlId(setup) == id; }, timeoutMs);
}

void ClickButton(const SetupProcess& setup, int id) {
  PostMessageA(GetDlgItem(setup.dialog, id), BM_CLICK, 0, 0);
}

void TypeText(const SetupProcess& setup, int id, const std::string& text) {
  HWND control = GetDlgItem(setup.dialog, id);
  HWND edit = FindWindowExA(control, nullptr, "Edit", nullptr);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(edit ? edit : control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, SendTimeoutMs, &result);
}

void CloseDialogWindow(const SetupProcess& setup) { PostMessageA(setup.dialog, WM_CLOSE, 0, 0); }

bool WaitForPostedMessages(HWND editBox, DWORD timeoutMs) {
  DWORD_PTR modified = 0;
  if (!SendMessageTimeoutA(editBox, EM_SETMODIFY, FALSE, 0, SMTO_ABORTIFHUNG, timeoutMs, &modified)) return false;
  PostMessageA(editBox, EM_SETMODIFY, TRUE, 0);
  return WaitUntil(
      [&] {
        return SendMessageTimeoutA(editBox, EM_GETMODIFY, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &modified) &&
               modified;
      },
      timeoutMs);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(pollMs);
  }
}

bool WaitForControlText(const SetupProcess& setup, int id, const std::string& text, DWORD timeoutMs) {
  return WaitUntil([&] { return ControlText(setup, id) == text; }, timeoutMs);
}

bool FindMessageBox(const SetupProcess& setup, MessageBoxSeen& box) {
  BoxSearch search = {setup.processId, setup.dialog, nullptr};
  EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  box.window = search.found;
  char caption[512] = {};
  GetWindowTextA(search.found, caption, sizeof caption);
  box.caption = caption;
  box.text = WindowText(GetDlgItem(search.found, 0xFFFF));
  return true;
}

bool WaitForMessageBox(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs) {
  return WaitUntil([&] { return FindMessageBox(setup, box); }, timeoutMs);
}

// The box gets the command its button sends when clicked. A BM_CLICK posted to the button goes
// through the button's focus and mouse capture, and once in some 30 full runs a box stayed up for
// the minute the case waits after it.
void AnswerMessageBox(const MessageBoxSeen& box, int button) {
  HWND control = GetDlgItem(box.window, button);
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool WaitForExit(SetupProcess& setup, DWORD timeoutMs, DWORD* exitCode) {
  if (WaitForSingleObject(setup.process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(setup.process, &code);
  if (exitCode) *exitCode = code;
  return true;
}

InstallEnd RunInstallation(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs) {
  ClickButton(setup, IDOK);
  InstallEnd end = KindInstallTimedOut;
  WaitUntil(
      [&] {
        if (FindMessageBox(setup, box)) end = KindInstallMessage;
        else if (ControlText(setup, IDCANCEL) == "&Open" && !ControlEnabled(setup, IDOK))
          end = KindInstallCompleted;
        return end != KindInstallTimedOut;
      },
      timeoutMs, 10);
  return end;
}

namespace {

constexpr const char* HoldKindNames[] = {"Step", "HintTimer"};
constexpr DWORD HoldTextSize = 512;

// The events message_hold.dll opens in the installer's process, named after the kind and that process.
HANDLE CreateHoldEvent(HoldKind kind, const char* event, DWORD processId, bool manualReset) {
  char name[64];
  std::snprintf(name, sizeof name, "QuorvelHold%s%s.%lu", HoldKindNames[kind], event, processId);
  HANDLE created = CreateEventA(nullptr, manualReset, FALSE, name);
  // The installer may still hold one from an earlier hold: start from a clear state.
  if (created) ResetEvent(created);
  return created;
}

}  // namespace

bool BeginHold(const SetupProcess& setup, HoldKind kind, MessageHold& hold) {
  hold.due = CreateHoldEvent(kind, "Due", setup.processId, false);
  hold.go = CreateHoldEvent(kind, "Go", setup.processId, false);
  hold.freed = CreateHoldEvent(kind, "Free", setup.processId, true);
  char name[64];
  std::snprintf(name, sizeof name, "QuorvelHold%sHint.%lu", HoldKindNames[kind], setup.processId);
  hold.hintText = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, HoldTextSize, name);
  // Stays loaded: the installer may still be inside the hook after it has been taken away.
  static HMODULE library = LoadLibraryA(WindowsPathOf(QUORVEL_MESSAGE_HOLD_DLL).c_str());
  // Through void*: -Wextra rejects a direct cast between unrelated function types.
  auto proc = library ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "HoldMessage")))
                      : nullptr;
  if (hold.due && hold.go && hold.freed && hold.hintText && proc)
    hold.hook = SetWindowsHookExA(WH_GETMESSAGE, proc, library, setup.threadId);
  if (!hold.hook) EndHold(hold);
  return hold.hook != nullptr;
}

bool WaitForHold(const SetupProcess& setup, const MessageHold& hold, DWORD timeoutMs) {
  HANDLE events[] = {hold.due, setup.process};
  return WaitForMultipleObjects(2, events, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

std::string HeldHintText(const MessageHold& hold) {
  std::string text;
  if (const char* view = static_cast<const char*>(MapViewOfFile(hold.hintText, FILE_MAP_READ, 0, 0, HoldTextSize))) {
    text.assign(view, strnlen(view, HoldTextSize));
    UnmapViewOfFile(view);
  }
  return text;
}

void ReleaseHold(const MessageHold& hold) { SetEvent(hold.go); }

void EndHold(MessageHold& hold) {
  if (hold.freed) SetEvent(hold.freed);
  if (hold.hook) UnhookWindowsHookEx(hold.hook);
  for (HANDLE handle : {hold.due, hold.go, hold.freed, hold.hintText})
    if (handle) CloseHandle(handle);
  hold = MessageHold();
}

bool HoldInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          const std::function<void()>& whileHeld, DWORD timeoutMs) {
  MessageHold hold;
  if (!BeginHold(setup, KindHoldStep, hold)) return false;
  ClickButton(setup, IDOK);
  bool held = false;
  DWORD start = GetTickCount();
  while (!held && GetTickCount() - start < timeoutMs) {
    if (!WaitForHold(setup, hold, 200)) {
      if (WaitForSingleObject(setup.process, 0) != WAIT_TIMEOUT) break;
      // An installation that completed or failed before the moment came will never reach it.
      MessageBoxSeen box;
      if (ControlText(setup, IDCANCEL) == "&Open" || FindMessageBox(setup, box)) break;
      continue;
    }
    // The installer waits in its message loop with the next step in hand. What is posted now is
    // handled while that step drains the queue, so it lands at that step's end.
    held = reached();
    if (held) whileHeld();
    // A waiting message ends the installer's run of steps after the step under way, as a user's
    // input does: it then takes one step per look rather than whole files between two looks.
    else PostMessageA(setup.dialog, WM_NULL, 0, 0);
    ReleaseHold(hold);
  }
  EndHold(hold);
  return held;
}

bool StopInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          DWORD timeoutMs, bool byClosing) {
  return HoldInstallationWhen(
      setup, reached,
      [&] {
        if (byClosing) PostMessageA(setup.dialog, WM_CLOSE, 0, 0);
        else PostMessageA(GetDlgItem(setup.dialog, IDCANCEL), BM_CLICK, 0, 0);
      },
      timeoutMs);
}
