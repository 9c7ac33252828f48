// The shell's folder browser (SHBrowseForFolderA) for the Browse button.
#pragma once
#include <windows.h>

// Shows the browser over `owner`, opening at `start`; on a chosen file-system folder writes its
// path into `out` (260 bytes) and returns true.
bool BrowseFolderDialog(HWND owner, const char* title, const char* start, char* out);
