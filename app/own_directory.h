// The length of the directory part of the program's own path, the rule that decides whether the
// program's directory can serve as the install folder.
#pragma once
#include <cstdint>

using OwnPathStep = const char* (*)(const char*);

// Bytes up to and including the last backslash, walked a character at a time with `step`
// (CharNextA when null) so that a double-byte trail byte is never taken for a separator;
// 0 when there is no backslash or the directory would not fit the install folder (over 195).
uint16_t OwnDirectoryLength(const char* path, OwnPathStep step = nullptr);
