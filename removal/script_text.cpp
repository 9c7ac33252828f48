// The self-delete script's text and name, kept free of Windows calls so the host tests can check
// them byte for byte. The script loops until the uninstaller copy can be deleted, removes the
// emptied folder, then deletes itself by its full path (%~f0: %0 is already quoted).
#include "removal/self_delete.h"
#include <cstring>
#include "platform/paths.h"

size_t ComposeSelfDeleteScript(char* buffer, size_t size, const char* oemCopyPath, const char* oemFolder) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  bool fits = AppendText(buffer, size, ":R\r\ndel \"") && AppendText(buffer, size, oemCopyPath) &&
              AppendText(buffer, size, "\"\r\nif exist \"") && AppendText(buffer, size, oemCopyPath) &&
              AppendText(buffer, size, "\" goto R\r\n");
  if (fits && oemFolder)
    fits = AppendText(buffer, size, "cd ..\r\nrmdir \"") && AppendText(buffer, size, oemFolder) &&
           AppendText(buffer, size, "\"\r\n");
  fits = fits && AppendText(buffer, size, "del \"%~f0\"\r\n");
  if (!fits) {
    buffer[0] = '\0';
    return 0;
  }
  return strlen(buffer);
}

bool FormatScriptName(char* buffer, size_t size, unsigned milliseconds, char letter) {
  if (milliseconds > 999 || size == 0) return false;
  const char suffix[] = {letter, '.', 'b', 'a', 't', '\0'};
  buffer[0] = '\0';
  return AppendText(buffer, size, "xan") && AppendNumber(buffer, size, milliseconds, 10, 3) &&
         AppendText(buffer, size, suffix);
}

// The name takes 11 characters and its terminator one more.
bool TempFolderLeavesRoom(uint32_t length) { return length != 0 && length + 12 < 260; }
