// Shell and window services that registration needs beyond platform.h: the shell's allocator,
// directory enumeration, and adding a name to a combo box's list (the group choices).
#pragma once
#include <windows.h>
#include <objidl.h>

// SHGetSpecialFolderLocation identifiers of the user's and the all-users Programs folders.
constexpr int ProgramsFolderId = 2;         // CSIDL_PROGRAMS
constexpr int CommonProgramsFolderId = 23;  // CSIDL_COMMON_PROGRAMS

// Obtains the shell's allocator once for the process; null when the shell has none.
IMalloc* AcquireShellAllocator();

// FindFirstFileA / FindNextFileA / FindClose; the search is INVALID_HANDLE_VALUE when nothing matched.
HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* data);
bool FindNextEntry(HANDLE search, WIN32_FIND_DATAA* data);
void CloseEntrySearch(HANDLE search);

// CB_ADDSTRING: the list keeps its own order; the edit field's text is not touched.
void AddComboText(HWND combo, const char* text);
