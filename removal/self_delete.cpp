// Deferred deletion of the running uninstaller copy: a hidden batch script in the temporary
// folder, started at below-normal priority after the dialog has ended, outlives the program.
#include "removal/self_delete.h"
#include <cstring>
#include "install/setup_state.h"

uint32_t TakeTemporaryName(char* path, const char* extension, bool (*take)(const char* path)) {
  uint32_t length = TempFolderPath(path, PathSize);
  if (!TempFolderLeavesRoom(length)) return 0;
  uint16_t milliseconds = LocalMilliseconds();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    char name[16];
    path[length] = '\0';
    if (!FormatTemporaryName(name, sizeof name, milliseconds, letter, extension) ||
        !AppendText(path, PathSize, name))
      return 0;
    if (take(path)) return length;
  }
  return 0;
}

static uint32_t scriptSize;  // of the script's text, composed in setup.chunk

// Takes a free name for the script: true once the whole script is written under it.
static bool WriteScript(const char* path) {
  FileHandle file = CreateNewForWrite(path);
  if (file == NoFile) return false;
  long written = WriteBlock(file, setup.chunk, scriptSize);
  CloseFile(file);
  // A script cut short could loop on the wrong file; like a failed write it is left unused.
  return written == static_cast<long>(scriptSize);
}

// Writes and starts one script under the first free name; true when it runs. `copy` is what the
// script deletes: a bare name in the temporary folder, or a full path.
static bool StartScript(const char* copy, const char* folder, size_t createdLength) {
  scriptSize = static_cast<uint32_t>(
      ComposeSelfDeleteScript(reinterpret_cast<char*>(setup.chunk), ChunkSize, copy, folder, createdLength));
  char scriptPath[PathSize];
  uint32_t length = scriptSize == 0 ? 0 : TakeTemporaryName(scriptPath, ".bat", WriteScript);
  if (length == 0) return false;
  char scriptFolder[PathSize] = "";
  AppendTextPart(scriptFolder, sizeof scriptFolder, scriptPath, length);
  // The temporary folder as current directory keeps the console from holding the installation
  // folder busy, and is where a bare name is looked for.
  if (StartProgram(scriptPath, scriptFolder, SW_HIDE, BELOW_NORMAL_PRIORITY_CLASS, false)) return true;
  DeletePath(scriptPath);
  return false;
}

// The bare name of a copy that was moved into the temporary folder, or null.
static const char* MovedCopyName() {
  char folder[PathSize];
  uint32_t length = TempFolderPath(folder, sizeof folder);
  if (setup.movedCopyPath[0] == '\0' || !TempFolderLeavesRoom(length) ||
      strlen(setup.movedCopyPath) <= length || memcmp(setup.movedCopyPath, folder, length) != 0)
    return nullptr;
  return setup.movedCopyPath + length;
}

void ScheduleSelfDelete() {
  if (!setup.selfDeletePending) return;
  const char* movedName = MovedCopyName();
  bool started = false;
  if (movedName) {
    // The folders went when the copy left them; only the copy is left to delete.
    started = StartScript(movedName, nullptr, 0);
    CopyText(setup.workPath, setup.movedCopyPath);
  } else {
    ResetWorkPath();
    char folder[PathSize] = "";
    // A bare drive root has no folder to remove.
    bool withFolders = setup.folderPrefixLength > 3 && setup.createdFolderLength > setup.rootPrefixLength;
    if (withFolders) AppendTextPart(folder, sizeof folder, setup.workPath, setup.folderPrefixLength - 1u);
    started = ComposeWorkPath(FirstFileEntry()->name) &&
              StartScript(setup.workPath, withFolders ? folder : nullptr, withFolders ? setup.createdFolderLength : 0);
  }
  if (started) setup.selfDeletePending = false;
  if (setup.selfDeletePending) ShowOwnerlessMessage("File not deleted", setup.workPath, MB_OK);
}
