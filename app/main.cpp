// The process from its first instruction to its last: the single-instance rule, the values that
// start-up fills for everyone (own path, cursors, uninstall key, scope), the modal dialog and
// shut-down.
#include <windows.h>

#include "app/colour_scheme.h"
#include "app/drag_drop.h"
#include "app/main_dialog.h"
#include "app/own_directory.h"
#include "install/self_copy.h"
#include "install/setup_state.h"
#include "registration/install_scope.h"
#include "registration/uninstall_entry.h"
#include "removal/self_delete.h"
#include "resources/resource_ids.h"

// A second start raises the running instance, or the box it shows, and shows nothing itself.
static void RaiseRunningInstance() {
  HWND running = FindWindowA(nullptr, SetupTitle);
  if (!running) return;
  HWND popup = GetLastActivePopup(running);
  BringWindowToTop(running);
  SetForegroundWindow(popup);
}

static void FillOwnPath() {
  uint32_t length = OwnModulePath(setup.ownPath, sizeof setup.ownPath);
  // A path cut short by the buffer names another file: treat it like no path at all.
  if (length == 0 || length >= sizeof setup.ownPath) setup.ownPath[0] = '\0';
  setup.ownDirLength = OwnDirectoryLength(setup.ownPath);
}

static void ShutDown() {
  ReleaseDialogFonts();
  TearDownDragDrop();
  FreeColourScheme();
  ReleaseDialogIcon();
  // The uninstaller copy cannot delete its own file while it runs; a script does it afterwards.
  if (setup.selfDeletePending && !setup.installed) ScheduleSelfDelete();
}

static void RunFirstInstance() {
  SetErrorMode(SEM_FAILCRITICALERRORS);  // a drive without a medium fails the call, no system box
  systemWaitCursor = LoadCursorA(nullptr, IDC_WAIT);
  FillOwnPath();
  CopyText(setup.uninstallKeyPath, UninstallKeysPath);
  AppendText(setup.uninstallKeyPath, "\\");
  AppendText(setup.uninstallKeyPath, PublicationTitle);
  SetInstallScope(KindScopeUndecided);
  InspectOwnImage();
  DialogBoxParamA(programInstance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, MainDialogProc, 0);
  ShutDown();
}

static UINT RunSetup(HINSTANCE module) {
  ResetSetupState();
  programInstance = module;
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, SetupTitle);
  if (GetLastError() == ERROR_ALREADY_EXISTS) RaiseRunningInstance();
  else RunFirstInstance();
  if (instanceMutex) CloseHandle(instanceMutex);
  return 0;
}

// The process's first instruction: there is no C runtime to start (app/bare_runtime.cpp), and
// nothing needs one: no command line is read, no static object has a constructor, and every run
// ends with exit code 0.
extern "C" void __stdcall ProgramEntry() { ExitProcess(RunSetup(GetModuleHandleA(nullptr))); }
