// The Start-menu group folder with its shortcuts, the Programs and Startup folders, and the
// link search and resolution that uninstall uses.
#pragma once
#include <windows.h>
#include <cstdint>
#include "install/folder_rules.h"
#include "platform/platform.h"

struct ProgramGroupState {
  char programsPath[260];
  uint16_t programsLength;
  char groupPath[260];
  uint16_t groupLength;
  uint16_t commonProgramsFound;
};
extern ProgramGroupState groups;

void InitProgramGroups(HWND comboBox);
uint16_t LocateProgramsFolder(int allUsers);
void ListProgramGroups(HWND comboBox);
// Cuts a folder name to at most 64 bytes at a character boundary (a double-byte character that
// would cross byte 64 is dropped whole); returns the new length. The step is CharNextA unless given.
uint16_t FitGroupName(char* name, CharacterStep step = nullptr);
// A group name stays inside the Programs folder: no drive, no leading separator, no part made of
// dots alone ("..", "."). Sub-folders ("Books\Quorvel") are fine. The step is CharNextA unless given.
bool GroupNameStaysInside(const char* name, CharacterStep step = nullptr);
bool BuildGroupPath(const char* name);
bool LocateStartupFolder(int allUsers);
bool CreateGroupFolder();  // true when the folder was made now
void RemoveGroupFolder();
bool DeleteGroupLink(const char* name);
// The group's item `name` and `extension` as a full path in wide characters, PathSize of them.
bool MakeGroupItemPath(const char* name, const char* extension, wchar_t* widePath);
LinkSaveOutcome CreateShortcut(const char* name, const char* target, uint16_t iconIndex);
// A search for the group folder's links (FindNextEntry and CloseEntrySearch go on with it);
// INVALID_HANDLE_VALUE when none was found.
HANDLE FindGroupLinks(WIN32_FIND_DATAA* link);
// The target of the group's link that `link` describes; `link` then describes the target.
bool ResolveShortcut(WIN32_FIND_DATAA* link, char* target);
bool CreateProgramGroup();  // false: a shortcut could not be made
// Whether the current group path is the group folder that an installation made itself.
bool GroupFolderIsOwn();
