// The self-delete script's text and name, kept free of Windows calls so the host tests can check
// them byte for byte. The script loops until the uninstaller copy can be deleted, removes the
// emptied folder, then deletes itself by its full path (%~f0: %0 is already quoted).
#include "removal/self_delete.h"
#include <cstdio>

static bool Fits(int length, size_t size) { return length > 0 && static_cast<size_t>(length) < size; }

size_t ComposeSelfDeleteScript(char* buffer, size_t size, const char* oemCopyPath, const char* oemFolder) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  int length =
      snprintf(buffer, size, ":R\r\ndel \"%s\"\r\nif exist \"%s\" goto R\r\n", oemCopyPath, oemCopyPath);
  if (!Fits(length, size)) return 0;
  size_t used = static_cast<size_t>(length);
  if (oemFolder) {
    length = snprintf(buffer + used, size - used, "cd ..\r\nrmdir \"%s\"\r\n", oemFolder);
    if (!Fits(length, size - used)) return 0;
    used += static_cast<size_t>(length);
  }
  length = snprintf(buffer + used, size - used, "del \"%%~f0\"\r\n");
  if (!Fits(length, size - used)) return 0;
  return used + static_cast<size_t>(length);
}

bool FormatScriptName(char* buffer, size_t size, unsigned milliseconds, char letter) {
  if (milliseconds > 999) return false;
  return Fits(snprintf(buffer, size, "xan%03u%c.bat", milliseconds, letter), size);
}

// The name takes 11 characters and its terminator one more.
bool TempFolderLeavesRoom(uint32_t length) { return length != 0 && length + 12 < 260; }
