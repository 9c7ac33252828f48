// The self-delete command line and the names of the temporary files, kept free of Windows calls
// so the host tests can check them byte for byte.
//
// The uninstaller usually runs elevated (the manifest asks for the highest rights the user has),
// and what it starts runs elevated too. So the deletion is one command line for the command
// interpreter and no script file: a file in the user's temporary folder could be rewritten by any
// unelevated program of the user while the interpreter reads it line by line. The interpreter and
// ping are named by their full paths in the system folder as Windows reports it, because the
// interpreter looks a bare name up in the current directory first; /d skips the user's AutoRun
// command; the rest are the interpreter's own commands. The same command serves a standard user,
// whose deletion runs with that user's rights.
//
// The interpreter expands "%" (and "!" where delayed expansion is on) and reads the text in the
// OEM code page: a path that holds them, or a letter the OEM code page lacks, would make the
// command act on another path. So it names only plain printable ASCII full paths and refuses any
// other. It tries a bounded number of times with a pause between tries (ping to the loopback
// address is the pause every Windows command interpreter has), then removes the folders it is
// given, deepest first. The loop's body is one block with no "if" around a command list: Wine's
// interpreter reads "if" with "&" or with a block inside "for" otherwise than Windows does.
#include "removal/self_delete.h"
#include <cstring>
#include "platform/paths.h"

bool ScriptCanNamePath(const char* path) {
  if (path[0] == '\0') return false;
  for (const char* c = path; *c; ++c)
    if (*c < 0x20 || *c > 0x7E || *c == '%' || *c == '!' || *c == '"') return false;
  return true;
}

// A drive-letter or UNC path: a relative one would be taken from the current directory.
static bool IsFullPath(const char* path) {
  return ScriptCanNamePath(path) && ((path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\'));
}

// The command interpreter takes at most 8191 characters.
constexpr size_t CommandLimit = 8192;

size_t ComposeSelfDeleteCommand(char* buffer, size_t size, const char* systemFolder, const char* copyPath,
                                const char* folder, size_t createdLength) {
  if (size == 0) return 0;
  if (size > CommandLimit) size = CommandLimit;
  buffer[0] = '\0';
  bool withFolders = folder && createdLength != 0;
  bool fits = IsFullPath(systemFolder) && IsFullPath(copyPath) && (!withFolders || IsFullPath(folder)) &&
              AppendTexts(buffer, size,
                          {"\"", systemFolder,
                           "\\cmd.exe\" /d /q /c (for /l %i in (1,1," SELF_DELETE_TRIES ") do (del \"", copyPath,
                           "\" 2>nul & if exist \"", copyPath, "\" \"", systemFolder,
                           "\\ping.exe\" -n 2 127.0.0.1 >nul))"});
  if (fits && withFolders) {
    size_t length = strlen(folder);
    while (fits && length >= createdLength) {
      fits = AppendText(buffer, size, " & rmdir \"") && AppendTextPart(buffer, size, folder, length) &&
             AppendText(buffer, size, "\"");
      while (length > 0 && folder[length - 1] != '\\') --length;
      if (length == 0) break;
      --length;  // the separator
    }
  }
  if (!fits) {
    buffer[0] = '\0';
    return 0;
  }
  return strlen(buffer);
}

bool FormatTemporaryName(char* buffer, size_t size, unsigned milliseconds, char letter, const char* extension) {
  if (milliseconds > 999 || size == 0) return false;
  const char suffix[] = {letter, '\0'};
  buffer[0] = '\0';
  return AppendText(buffer, size, "xan") && AppendNumber(buffer, size, milliseconds, 10, 3) &&
         AppendText(buffer, size, suffix) && AppendText(buffer, size, extension);
}

// The name takes 11 characters and its terminator one more.
bool TempFolderLeavesRoom(uint32_t length) { return length != 0 && length + 12 < 260; }
