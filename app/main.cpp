// The process from its first instruction to its last: the command line, the single-instance rule,
// the values that start-up fills for everyone (own path, cursors, uninstall key, scope), the modal
// dialog or the silent run, shut-down and the exit code.
#include <windows.h>

#include "app/colour_scheme.h"
#include "app/drag_drop.h"
#include "app/main_dialog.h"
#include "app/own_directory.h"
#include "app/unattended.h"
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

// A path cut short by the buffer would name another file: OwnModulePath leaves none then.
static void FillOwnPath() {
  OwnModulePath(setup.ownPath, sizeof setup.ownPath);
  setup.ownDirLength = OwnDirectoryLength(setup.ownPath);
}

static void ShutDown() {
  ReleaseDialogFonts();
  TearDownDragDrop();
  FreeColourScheme();
}

static UINT RunFirstInstance(bool silent, bool understood) {
  SetErrorMode(SEM_FAILCRITICALERRORS);  // a drive without a medium fails the call, no system box
  systemWaitCursor = LoadCursorA(nullptr, IDC_WAIT);
  FillOwnPath();
  CopyText(setup.uninstallKeyPath, UninstallKeysPath);
  AppendText(setup.uninstallKeyPath, "\\");
  AppendText(setup.uninstallKeyPath, PublicationTitle);
  SetMessageLogger(WriteLogLine, silent);
  if (!SetInstallScope(RequestedScope())) {
    // /AllUsers without the rights: a deployment tool must not get a per-user installation it did
    // not ask for; a person at the dialog is told and may go on for themselves.
    ShowOwnerlessMessage("Installing for all users needs administrator rights", "/AllUsers", MB_OK);
    if (silent) return ExitFailed;
    SetInstallScope(KindScopeUndecided);
  }
  InspectOwnImage();
  UINT code = ExitDone;
  if (silent) {
    code = RunSilently();
  } else {
    if (!understood) ShowRefusedArgument();
    DialogBoxParamA(programInstance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, MainDialogProc, 0);
    ShutDown();
  }
  // The uninstaller copy cannot delete its own file while it runs; a script does it afterwards.
  if (setup.selfDeletePending && !setup.installed) ScheduleSelfDelete();
  return code;
}

// A silent run with an argument it does not understand does nothing at all: a deployment tool
// must not get an installation that differs from the one it asked for.
static UINT RunSetup(HINSTANCE module) {
  ResetSetupState();
  programInstance = module;
  bool understood = ParseCommandLine(GetCommandLineA(), &commandLine);
  bool silent = commandLine.given[KindSilentArgument];
  if (silent && !understood) return ExitArgumentsRefused;
  UINT code = ExitDone;
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, SetupTitle);
  if (GetLastError() != ERROR_ALREADY_EXISTS) code = RunFirstInstance(silent, understood);
  else if (silent) code = ExitAlreadyRunning;
  else RaiseRunningInstance();
  if (instanceMutex) CloseHandle(instanceMutex);
  return code;
}

// The process's first instruction: there is no C runtime to start (app/bare_runtime.cpp), and
// nothing needs one: the command line comes from GetCommandLineA, and no static object has a
// constructor. A run with the dialog always ends with exit code 0.
extern "C" void __stdcall ProgramEntry() { ExitProcess(RunSetup(GetModuleHandleA(nullptr))); }
