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
// One link operation in its own apartment: a save when target is set, else a load.
struct LinkOrder {
  const wchar_t* linkPath;
  const char* target;         // the save's target
  char* foundTarget;          // the load's result, MAX_PATH
  WIN32_FIND_DATAA* foundData;
  int iconIndex;
  bool done;
};

DWORD WINAPI RunLinkOrder(void* context) {
  LinkOrder& order = *static_cast<LinkOrder*>(context);
  if (FAILED(CoInitialize(nullptr))) return 0;
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (!order.target) {
        if (SUCCEEDED(file->Load(order.linkPath, STGM_READ)))
          order.done = SUCCEEDED(link->GetPath(order.foundTarget, MAX_PATH, order.foundData, 0));
      } else if (SUCCEEDED(link->SetPath(order.target))) {
        // SetPath answers S_FALSE when the target does not exist yet; only a failure stops here.
        IShellLinkDataList* data = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&data)))) {
          data->SetFlags(SLDF_RUN_IN_SEPARATE);
          data->Release();
        }
        if (order.iconIndex != 0) link->SetIconLocation(order.target, order.iconIndex);
        order.done = SUCCEEDED(file->Save(order.linkPath, TRUE));
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return 0;
}
}  // namespace

// Under Wine, saving a link starts a helper process to mirror it into the desktop's menus, 15-20
// ms each time; elsewhere the shell may be slow on a network folder. The link is saved on a
// thread of its own while the dialog keeps answering.
bool SaveShellLink(const wchar_t* linkPath, const char* target, int iconIndex) {
  LinkOrder order = {linkPath, target, nullptr, nullptr, iconIndex, false};
  return RunWhileAnswering(RunLinkOrder, &order) && order.done;
}

// Loading runs here: the uninstall it serves runs to its end inside one command.
bool LoadShellLinkTarget(const wchar_t* linkPath, char* target, WIN32_FIND_DATAA* targetData) {
  LinkOrder order = {linkPath, nullptr, target, targetData, 0, false};
  RunLinkOrder(&order);
  return order.done;
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
