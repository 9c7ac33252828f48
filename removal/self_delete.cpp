// Deferred deletion of the running uninstaller copy: a hidden command interpreter, started at
// below-normal priority after the dialog has ended, outlives the program and deletes the copy
// (and the folders the installation made) once it has exited. removal/script_text.cpp says why
// it is one command line from the system folder and no script file.
#include "removal/self_delete.h"
#include <cstring>
#include "install/setup_state.h"

uint32_t TakeTemporaryName(char* path, const char* extension, bool (*take)(const char* path)) {
  uint32_t length = TempFolderPath(path, PathSize);
  if (!TempFolderLeavesRoom(length)) return 0;
  uint16_t milliseconds = TickMilliseconds();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    // Each name is written over the last, straight after the folder.
    if (!FormatTemporaryName(path + length, PathSize - length, milliseconds, letter, extension)) return 0;
    if (take(path)) return length;
  }
  return 0;
}

// Starts the deletion of `copy` (a full path) and of the folders; true when it runs.
static bool StartDeletion(const char* copy, const char* folder, size_t createdLength) {
  // No system folder, or one cut short, leaves the path empty: the command names no such folder.
  char system[PathSize];
  SystemFolderPath(system, sizeof system);
  char interpreter[PathSize];
  char* command = reinterpret_cast<char*>(setup.chunk);
  if (!CopyText(interpreter, system) || !AppendText(interpreter, "\\cmd.exe") ||
      ComposeSelfDeleteCommand(command, ChunkSize, system, copy, folder, createdLength) == 0)
    return false;
  // The system folder as current directory keeps the interpreter from holding the installation
  // folder busy, and is no folder an unelevated program can write to.
  return StartHiddenCommand(interpreter, command, system, BELOW_NORMAL_PRIORITY_CLASS);
}

void ScheduleSelfDelete() {
  if (!setup.selfDeletePending) return;
  char folder[PathSize];
  folder[0] = '\0';
  size_t createdLength = 0;  // a created length of 0 names no folder to remove
  bool named;
  if (setup.movedCopyPath[0] != '\0') {
    // The folders went when the copy left them; only the copy is left to delete.
    named = CopyText(setup.workPath, setup.movedCopyPath);
  } else {
    ResetWorkPath();
    // A bare drive root has no folder to remove.
    if (setup.folderPrefixLength > 3 && setup.createdFolderLength > setup.rootPrefixLength) {
      AppendTextPart(folder, sizeof folder, setup.workPath, setup.folderPrefixLength - 1u);
      createdLength = setup.createdFolderLength;
    }
    named = ComposeWorkPath(FirstFileEntry()->name);
  }
  if (named && StartDeletion(setup.workPath, folder, createdLength)) setup.selfDeletePending = false;
  else ShowOwnerlessMessage("File not deleted", setup.workPath, MB_OK);
}
