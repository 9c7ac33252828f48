// The hidden batch script that deletes the running uninstaller copy after the program has exited.
#pragma once
#include <cstddef>

void ScheduleSelfDelete();
// Composes the script's text for the copy's path and the folder (both OEM; folder may be null
// when there is no folder line); returns its length, 0 when it does not fit.
size_t ComposeSelfDeleteScript(char* buffer, size_t size, const char* oemCopyPath, const char* oemFolder);
