// Checked text composition in fixed buffers.
#include "platform/paths.h"
#include <cstring>

bool AppendTextPart(char* buffer, size_t size, const char* text, size_t count) {
  size_t have = strnlen(buffer, size);
  size_t add = strnlen(text, count);
  if (have >= size || add >= size - have) return false;
  memcpy(buffer + have, text, add);
  buffer[have + add] = '\0';
  return true;
}

bool AppendText(char* buffer, size_t size, const char* text) {
  return AppendTextPart(buffer, size, text, static_cast<size_t>(-1));
}

bool CopyText(char* buffer, size_t size, const char* text) {
  if (size == 0) return false;
  buffer[0] = '\0';
  return AppendText(buffer, size, text);
}
