// Unattended runs, for deployment tools: the arguments over the settings, the silent run that
// drives the same engine as the dialog (the same checks, steps and state records), the log, and
// the exit code that tells the tool what happened.
#include "app/unattended.h"
#include <windows.h>

#include "app/main_dialog.h"
#include "install/setup_state.h"
#include "install/step_machine.h"
#include "registration/program_group.h"
#include "removal/uninstall.h"

CommandLine commandLine;

static_assert(ArgumentFolderSize == sizeof setup.folder && ArgumentGroupSize == sizeof setup.groupName &&
                  ArgumentPathSize == PathSize,
              "an argument holds exactly what the dialog's field holds");

InstallScope RequestedScope() {
  if (commandLine.given[KindAllUsersArgument]) return KindScopeMachine;
  if (commandLine.given[KindCurrentUserArgument]) return KindScopeUser;
  return KindScopeUndecided;
}

void ApplyArguments() {
  if (commandLine.given[KindFolderArgument]) CopyText(setup.folder, commandLine.folder);
  if (commandLine.given[KindGroupArgument]) CopyText(setup.groupName, commandLine.group);
}

// Message boxes become log lines (platform/dialog_services.cpp); newlines would split one.
void WriteLogLine(const char* text, const char* detail) {
  if (!commandLine.given[KindLogArgument]) return;
  constexpr size_t LineSize = 2 * PathSize + 128;
  char line[LineSize];
  CopyText(line, LineSize, text);
  if (detail && AppendText(line, LineSize, ": ")) AppendText(line, LineSize, detail);
  for (char* c = line; *c; ++c)
    if (*c == '\n') *c = ' ';
  AppendText(line, LineSize, "\r\n");
  AppendToFile(commandLine.logPath, line);
}

// With no dialog the steps are posted to the thread's own queue, and each step's drain takes the
// one before: the same steps as with the dialog, and the same place for a test to hold the run.
static void InstallSilently() {
  StartInstall();
  while (setup.installing) RunInstallSteps();
}

uint32_t RunSilently() {
  SetSetupChangeHandler(OnSetupChange);
  ReadStartState();
  bool done;
  if (setup.payloadPresent) {
    InitProgramGroups(nullptr);  // finds the all-users Start menu; there is no list to fill
    InstallSilently();
    done = setup.installedThisRun;
  } else {
    if (setup.partiallyInstalled) RunUninstall();
    done = !setup.partiallyInstalled;
  }
  if (done) return ExitDone;
  return setup.filesInUse ? ExitFilesInUse : ExitFailed;
}

// Named as the engine names a file it cannot write: in the caption, with the message as text.
void ShowRefusedArgument() {
  MessageBoxA(nullptr, KnownArguments, commandLine.refused, MB_OK | MB_ICONWARNING);
}
