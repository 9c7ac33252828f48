// The shell's folder browser: the browser with the file-system-only flags, the callback that opens
// it at the folder currently shown, and the chosen item freed by the shell's task allocator.
#include "platform/browse.h"
#include <shlobj.h>

// The browser's callback gets no data of its own; the start folder is kept here for it.
static const char* browseStart;

static int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED && browseStart)
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(browseStart));
  return 0;
}

bool BrowseFolderDialog(HWND owner, const char* title, const char* start, char* out) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || !allocator) return false;
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;  // 0x53
  info.lpfn = BrowseCallback;
  browseStart = start;
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  browseStart = nullptr;
  bool chosen = false;
  if (item) {
    chosen = SHGetPathFromIDListA(item, out) != FALSE;
    allocator->Free(item);
  }
  allocator->Release();
  return chosen;
}
