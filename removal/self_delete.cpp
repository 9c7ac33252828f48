// Deferred deletion of the running uninstaller copy: a hidden batch script in the temporary
// folder, started at below-normal priority after the dialog has ended, outlives the program.
#include "removal/self_delete.h"
#include <cstring>
#include "install/setup_state.h"

// Writes and starts one script under the first free name; true when it runs.
static bool StartScript(const char* oemFolder, bool withFolder) {
  char scriptFolder[PathSize];
  uint32_t length = TempFolderPath(scriptFolder, sizeof scriptFolder);
  if (!TempFolderLeavesRoom(length)) return false;
  scriptFolder[length] = '\0';
  uint16_t milliseconds = LocalMilliseconds();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    char name[16];
    char scriptPath[PathSize];
    if (!FormatScriptName(name, sizeof name, milliseconds, letter) || !CopyText(scriptPath, scriptFolder) ||
        !AppendText(scriptPath, name))
      return false;
    FileHandle file = CreateNewForWrite(scriptPath);
    if (file == NoFile) continue;
    char oemCopyPath[PathSize];
    ConvertAnsiToOem(setup.workPath, oemCopyPath, sizeof oemCopyPath);
    char* text = reinterpret_cast<char*>(setup.chunk);
    size_t size = ComposeSelfDeleteScript(text, ChunkSize, oemCopyPath, withFolder ? oemFolder : nullptr);
    long written = size ? WriteBlock(file, text, static_cast<uint32_t>(size)) : -1;
    CloseFile(file);
    // A script cut short could loop on the wrong file; like a failed write it is left unused.
    if (written != static_cast<long>(size)) continue;
    // The temporary folder as current directory keeps the console from holding the
    // installation folder busy while the script tries to remove it.
    if (StartProgram(scriptPath, scriptFolder, SW_HIDE, BELOW_NORMAL_PRIORITY_CLASS, false)) return true;
    DeletePath(scriptPath);
    return false;
  }
  return false;
}

void ScheduleSelfDelete() {
  if (!setup.selfDeletePending) return;
  ResetWorkPath();
  char oemFolder[PathSize];
  ConvertAnsiToOem(setup.workPath, oemFolder, sizeof oemFolder);
  // A bare drive root has no folder to remove: "rmdir C:" would name the current directory of C:.
  bool withFolder = setup.folderPrefixLength > 3;
  if (withFolder) {
    size_t length = strnlen(oemFolder, sizeof oemFolder);
    if (length != 0) oemFolder[length - 1] = '\0';
  }
  if (ComposeWorkPath(FirstFileEntry()->name) && StartScript(oemFolder, withFolder))
    setup.selfDeletePending = false;
  if (setup.selfDeletePending) ShowOwnerlessMessage("File not deleted", setup.workPath, MB_OK);
}
