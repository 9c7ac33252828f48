// The private profile file, which Windows keeps in its own directory when named without a folder.
#include "platform/platform.h"

void ReadProfileText(const char* file, const char* section, const char* key, const char* fallback, char* buffer,
                     uint32_t size) {
  if (size == 0) return;
  buffer[0] = '\0';
  GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}

uint32_t ReadProfileNumber(const char* file, const char* section, const char* key, uint32_t fallback) {
  return GetPrivateProfileIntA(section, key, static_cast<INT>(fallback), file);
}

void WriteProfileText(const char* file, const char* section, const char* key, const char* text) {
  WritePrivateProfileStringA(section, key, text, file);
}
