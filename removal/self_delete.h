// The hidden batch script that deletes the running uninstaller copy after the program has exited.
#pragma once
#include <cstddef>
#include <cstdint>

void ScheduleSelfDelete();
// Composes the script's text for the copy's path and the folder (both OEM; folder may be null
// when there is no folder line); returns its length, 0 when it does not fit.
size_t ComposeSelfDeleteScript(char* buffer, size_t size, const char* oemCopyPath, const char* oemFolder);
// The script's file name "xan%03u%c.bat" for the milliseconds (0 to 999) and a letter; false when
// it does not fit the buffer or the milliseconds have more than three digits.
bool FormatScriptName(char* buffer, size_t size, unsigned milliseconds, char letter);
// Whether a temporary folder path of this length (GetTempPathA's result) leaves room for the
// script's name and terminator.
bool TempFolderLeavesRoom(uint32_t length);
