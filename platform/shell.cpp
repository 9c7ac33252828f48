// The shell's special folders and link object, directory enumeration and the combo box list.
// Each link operation brackets its COM work with CoInitialize/CoUninitialize, so the calls stay
// balanced on a thread that has OLE initialised already for drag and drop.
#include <shlobj.h>
#include <cstring>
#include "platform/platform.h"
#include "platform/shell.h"

static IMalloc* shellAllocator;

bool AcquireShellAllocator() {
  if (!shellAllocator && FAILED(SHGetMalloc(&shellAllocator))) shellAllocator = nullptr;
  return shellAllocator != nullptr;
}

uint16_t SpecialFolderPath(int csidl, char* buffer) {
  buffer[0] = '\0';
  if (!AcquireShellAllocator()) return 0;
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return 0;
  if (!SHGetPathFromIDListA(list, buffer)) buffer[0] = '\0';
  shellAllocator->Free(list);
  return static_cast<uint16_t>(strnlen(buffer, MAX_PATH));
}

namespace {
struct LinkOrder {
  const wchar_t* linkPath;
  const char* target;
  int iconIndex;
  bool saved;
};

DWORD WINAPI SaveOrderedLink(void* context) {
  LinkOrder& order = *static_cast<LinkOrder*>(context);
  if (FAILED(CoInitialize(nullptr))) return 0;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    // SetPath answers S_FALSE when the target does not exist yet; only a failure stops here.
    if (SUCCEEDED(link->SetPath(order.target))) {
      IShellLinkDataList* data = nullptr;
      if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&data)))) {
        data->SetFlags(SLDF_RUN_IN_SEPARATE);
        data->Release();
      }
      if (order.iconIndex != 0) link->SetIconLocation(order.target, order.iconIndex);
      IPersistFile* file = nullptr;
      if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        order.saved = SUCCEEDED(file->Save(order.linkPath, TRUE));
        file->Release();
      }
    }
    link->Release();
  }
  CoUninitialize();
  return 0;
}
}  // namespace

// Under Wine, saving a link starts a helper process to mirror it into the desktop's menus, 15-20
// ms each time; elsewhere the shell may be slow on a network folder. The link is made on a thread
// of its own (in its own apartment) while the dialog keeps answering.
bool SaveShellLink(const wchar_t* linkPath, const char* target, int iconIndex) {
  LinkOrder order = {linkPath, target, iconIndex, false};
  return RunWhileAnswering(SaveOrderedLink, &order) && order.saved;
}

bool LoadShellLinkTarget(const wchar_t* linkPath, char* target, WIN32_FIND_DATAA* targetData) {
  if (FAILED(CoInitialize(nullptr))) return false;
  bool resolved = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(linkPath, STGM_READ)))
        resolved = SUCCEEDED(link->GetPath(target, MAX_PATH, targetData, 0));
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return resolved;
}

bool WidenText(const char* text, wchar_t* wide, unsigned units) {
  return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(units)) != 0;
}

HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* data) { return FindFirstFileA(pattern, data); }

bool FindNextEntry(HANDLE search, WIN32_FIND_DATAA* data) {
  return search != INVALID_HANDLE_VALUE && FindNextFileA(search, data) != FALSE;
}

void CloseEntrySearch(HANDLE search) {
  if (search && search != INVALID_HANDLE_VALUE) FindClose(search);
}

void AddComboText(HWND combo, const char* text) {
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}
