// The shell's special folders and link object, directory enumeration and the combo box list.
// Each link operation brackets its COM work with CoInitialize/CoUninitialize, so the calls stay
// balanced on a thread that has OLE initialised already for drag and drop.
#include <shlobj.h>
#include <cstring>
#include "platform/platform.h"
#include "platform/shell.h"

static IMalloc* shellAllocator;

IMalloc* AcquireShellAllocator() {
  if (!shellAllocator && FAILED(SHGetMalloc(&shellAllocator))) shellAllocator = nullptr;
  return shellAllocator;
}

uint16_t SpecialFolderPath(int csidl, char* buffer) {
  buffer[0] = '\0';
  IMalloc* allocator = AcquireShellAllocator();
  if (!allocator) return 0;
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return 0;
  if (!SHGetPathFromIDListA(list, buffer)) buffer[0] = '\0';
  allocator->Free(list);
  return static_cast<uint16_t>(strnlen(buffer, MAX_PATH));
}

bool ComposeLocalDataPath(char* buffer, const char* name) {
  constexpr int LocalAppDataFolderId = 28;  // CSIDL_LOCAL_APPDATA
  bool composed = SpecialFolderPath(LocalAppDataFolderId, buffer) != 0 && AppendText(buffer, MAX_PATH, name);
  if (!composed) buffer[0] = '\0';
  return composed;
}

namespace {
// One link operation in its own apartment: a save when target is set, else a load. A save runs
// on a thread of its own while the dialog keeps answering.
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

// A save's order with its own copies of the inputs, held by the dialog's thread and the save's
// thread together: a save still running when the wait for it has ended reads and writes nothing
// else. One in the process is enough, since a save that outlives its wait ends the group's
// attempts; a save asked for while the last one still holds it fails at once.
static struct {
  LONG holders;
  LinkOrder order;
  wchar_t linkPath[MAX_PATH];
  char target[MAX_PATH];
} linkSave;

static DWORD WINAPI RunLinkSave(void*) {
  RunLinkOrder(&linkSave.order);
  InterlockedDecrement(&linkSave.holders);
  return 0;
}

// How long the dialog waits for a link to be saved. Saving one takes 15-20 ms under Wine (a
// helper process mirrors it into the desktop's menus) and little more on a local disk; what can
// take long is a Start menu on a server. Windows gives up a TCP connection to a server that does
// not answer after about 21 s (the first packet and two retries, 3 + 6 + 12 s), so a share that
// has gone away fails within the bound by itself and the user's own group can still be tried. A
// save that has not ended by then waits on something that may never answer (a hung shell
// extension, a server that accepted and went silent), and after half a minute of a wait cursor a
// user takes the installer for hung: the shortcut counts as failed and the installation completes.
constexpr uint32_t LinkSaveBoundMs = 30000;

LinkSaveOutcome SaveShellLink(const char* linkPath, const char* target, int iconIndex) {
  if (linkSave.holders != 0) return LinkSaveTimedOut;
  if (!WidenText(linkPath, linkSave.linkPath, MAX_PATH) || !CopyText(linkSave.target, target)) return LinkNotSaved;
  linkSave.order.linkPath = linkSave.linkPath;
  linkSave.order.target = linkSave.target;
  linkSave.order.iconIndex = iconIndex;
  linkSave.order.done = false;
  linkSave.holders = 2;
  WorkOutcome work = RunWhileAnswering(RunLinkSave, nullptr, LinkSaveBoundMs);
  InterlockedDecrement(&linkSave.holders);
  if (work == WorkNotStarted) linkSave.holders = 0;
  if (work == WorkTimedOut) return LinkSaveTimedOut;
  return work == WorkFinished && linkSave.order.done ? LinkSaved : LinkNotSaved;
}

// Loading runs here: the uninstall it serves runs to its end inside one command.
bool LoadShellLinkTarget(const wchar_t* linkPath, char* target, WIN32_FIND_DATAA* targetData) {
  LinkOrder order = {linkPath, nullptr, target, targetData, 0, false};
  RunLinkOrder(&order);
  return order.done;
}

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) bool WidenText(const char* text, wchar_t* wide, unsigned units) {
  return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(units)) != 0;
}

// Not inlined: link-time optimisation would otherwise copy it into each of its callers.
__attribute__((noinline)) HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* data) {
  return FindFirstFileA(pattern, data);
}

bool FindNextEntry(HANDLE search, WIN32_FIND_DATAA* data) {
  return search != INVALID_HANDLE_VALUE && FindNextFileA(search, data) != FALSE;
}

void CloseEntrySearch(HANDLE search) {
  if (search && search != INVALID_HANDLE_VALUE) FindClose(search);
}

void AddComboText(HWND combo, const char* text) {
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}
