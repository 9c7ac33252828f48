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

bool AppendTexts(char* buffer, size_t size, std::initializer_list<const char*> texts) {
  for (const char* text : texts)
    if (!AppendText(buffer, size, text)) return false;
  return true;
}

bool CopyText(char* buffer, size_t size, const char* text) {
  if (size == 0) return false;
  buffer[0] = '\0';
  return AppendText(buffer, size, text);
}

bool AppendNumber(char* buffer, size_t size, uint32_t value, unsigned base, unsigned minimumDigits) {
  if (base != 10 && base != 16) return false;
  // The digits are written from the end of the text backwards, the lowest first.
  char text[33];
  unsigned first = 32;
  text[first] = '\0';
  do {
    unsigned digit = value % base;
    text[--first] = static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10);
    value /= base;
  } while (value != 0 && first > 0);
  while (32 - first < minimumDigits && first > 0) text[--first] = '0';
  return AppendText(buffer, size, text + first);
}
