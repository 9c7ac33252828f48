// The cut applied to dropped text: its first line only, at most `limit` bytes, never splitting a
// double-byte character. Pure, so it is tested natively with an injected character stepper.
#pragma once
#include <cstddef>

using DropCharacterStep = const char* (*)(const char*);
// Copies the bytes of `source` before its first NUL (at most 260, and never beyond its `size`
// bytes) into `buffer` (261 bytes) and cuts them to the longest prefix before the first carriage
// return that fits in `limit` bytes. `source` may be `buffer` itself.
void CutDropText(char* buffer, const char* source, size_t size, size_t limit, DropCharacterStep step);
