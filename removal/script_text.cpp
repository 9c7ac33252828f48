// The self-delete script's text and the names of the temporary files, kept free of Windows calls
// so the host tests can check them byte for byte.
//
// The command interpreter reads a script in the OEM code page and expands "%" and, where delayed
// expansion is on, "!": a path that holds them, or a letter the OEM code page lacks, would make
// the script act on another path. So a script names only plain printable ASCII paths and refuses
// any other. It tries a bounded number of times with a pause between tries (ping to the loopback
// address is the one pause every Windows command interpreter has), removes the folders it is given,
// deepest first, and deletes itself by its full path (%~f0: %0 is already quoted).
#include "removal/self_delete.h"
#include <cstring>
#include "platform/paths.h"

bool ScriptCanNamePath(const char* path) {
  if (path[0] == '\0') return false;
  for (const char* c = path; *c; ++c)
    if (*c < 0x20 || *c > 0x7E || *c == '%' || *c == '!' || *c == '"') return false;
  return true;
}

size_t ComposeSelfDeleteScript(char* buffer, size_t size, const char* copyPath, const char* folder,
                               size_t createdLength) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  bool withFolders = folder && createdLength != 0;
  bool fits = ScriptCanNamePath(copyPath) && (!withFolders || ScriptCanNamePath(folder)) &&
              AppendText(buffer, size, "set xantries=0\r\n:R\r\ndel \"") && AppendText(buffer, size, copyPath) &&
              AppendText(buffer, size, "\"\r\nif not exist \"") && AppendText(buffer, size, copyPath) &&
              AppendText(buffer, size,
                         "\" goto D\r\nset /a xantries=xantries+1\r\nif %xantries% geq " SELF_DELETE_TRIES
                         " goto D\r\nping -n 2 127.0.0.1 >nul\r\ngoto R\r\n:D\r\n");
  if (fits && withFolders) {
    size_t length = strlen(folder);
    while (fits && length >= createdLength) {
      fits = AppendText(buffer, size, "rmdir \"") && AppendTextPart(buffer, size, folder, length) &&
             AppendText(buffer, size, "\"\r\n");
      while (length > 0 && folder[length - 1] != '\\') --length;
      if (length == 0) break;
      --length;  // the separator
    }
  }
  fits = fits && AppendText(buffer, size, "del \"%~f0\"\r\n");
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

bool FormatScriptName(char* buffer, size_t size, unsigned milliseconds, char letter) {
  return FormatTemporaryName(buffer, size, milliseconds, letter, ".bat");
}

// The name takes 11 characters and its terminator one more.
bool TempFolderLeavesRoom(uint32_t length) { return length != 0 && length + 12 < 260; }
