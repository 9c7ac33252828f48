// Checked composition of NUL-terminated ANSI texts in fixed buffers. Every append either fits
// whole or leaves the buffer as it was and reports false: paths are never silently cut short.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Appends text to the NUL-terminated buffer of `size` bytes.
bool AppendText(char* buffer, size_t size, const char* text);
// Replaces the buffer's content with text; on failure the buffer is left empty.
bool CopyText(char* buffer, size_t size, const char* text);
// Appends the texts in turn; false at the first that does not fit, with those before it kept.
bool AppendTexts(char* buffer, size_t size, std::initializer_list<const char*> texts);
// Appends at most `count` bytes of text.
bool AppendTextPart(char* buffer, size_t size, const char* text, size_t count);
// Appends an unsigned number in decimal (base 10) or upper-case hexadecimal (base 16), with
// leading zeros up to `minimumDigits`. The installer formats its few numbers with this instead
// of the C library's printf family, which would add some 20 KB to the uninstaller copy.
bool AppendNumber(char* buffer, size_t size, uint32_t value, unsigned base = 10, unsigned minimumDigits = 1);

template <size_t N> bool AppendText(char (&buffer)[N], const char* text) { return AppendText(buffer, N, text); }
template <size_t N> bool AppendTexts(char (&buffer)[N], std::initializer_list<const char*> texts) {
  return AppendTexts(buffer, N, texts);
}
template <size_t N> bool AppendNumber(char (&buffer)[N], uint32_t value, unsigned base = 10, unsigned minimumDigits = 1) {
  return AppendNumber(buffer, N, value, base, minimumDigits);
}
template <size_t N> bool CopyText(char (&buffer)[N], const char* text) { return CopyText(buffer, N, text); }
