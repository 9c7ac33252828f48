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

bool SaveShellLink(const wchar_t* linkPath, const char* target, int iconIndex) {
  if (FAILED(CoInitialize(nullptr))) return false;
  bool saved = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    // SetPath answers S_FALSE when the target does not exist yet; only a failure stops here.
    if (SUCCEEDED(link->SetPath(target))) {
      IShellLinkDataList* data = nullptr;
      if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&data)))) {
        data->SetFlags(SLDF_RUN_IN_SEPARATE);
        data->Release();
      }
      if (iconIndex != 0) link->SetIconLocation(target, iconIndex);
      IPersistFile* file = nullptr;
      if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(linkPath, TRUE));
        file->Release();
      }
    }
    link->Release();
  }
  CoUninitialize();
  return saved;
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
