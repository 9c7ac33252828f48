// Checked composition of NUL-terminated ANSI texts in fixed buffers. Every append either fits
// whole or leaves the buffer as it was and reports false: paths are never silently cut short.
#pragma once
#include <cstddef>

// Appends text to the NUL-terminated buffer of `size` bytes.
bool AppendText(char* buffer, size_t size, const char* text);
// Replaces the buffer's content with text; on failure the buffer is left empty.
bool CopyText(char* buffer, size_t size, const char* text);
// Appends at most `count` bytes of text.
bool AppendTextPart(char* buffer, size_t size, const char* text, size_t count);

template <size_t N> bool AppendText(char (&buffer)[N], const char* text) { return AppendText(buffer, N, text); }
template <size_t N> bool CopyText(char (&buffer)[N], const char* text) { return CopyText(buffer, N, text); }
