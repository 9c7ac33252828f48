// The few C library functions the program and the compiler's own code call. The installer links
// no C runtime (no msvcrt.dll, no start-up code, no TLS): only the system DLLs it uses. Built
// without the loop-to-library-call rewrite, so that these loops do not call themselves.
#include <cstddef>
#include <cstdint>

extern "C" {

void* memset(void* destination, int value, size_t count) {
  unsigned char* bytes = static_cast<unsigned char*>(destination);
  while (count--) *bytes++ = static_cast<unsigned char>(value);
  return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (count--) *to++ = *from++;
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    while (count--) *to++ = *from++;
  } else {
    while (count--) to[count] = from[count];
  }
  return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (; count; --count, ++a, ++b)
    if (*a != *b) return *a < *b ? -1 : 1;
  return 0;
}

size_t strnlen(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length]) ++length;
  return length;
}

size_t strlen(const char* text) { return strnlen(text, SIZE_MAX); }

int strcmp(const char* left, const char* right) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(left);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(right);
  while (*a && *a == *b) ++a, ++b;
  return *a < *b ? -1 : *a > *b;
}

}  // extern "C"
