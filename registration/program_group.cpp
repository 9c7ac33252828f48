// The Start-menu group: the Programs and Startup folders, the group choices in the combo box, the
// group folder with its shortcuts (all users first, the user's own as fallback), and the link
// search and resolution that uninstall uses. Every append to groupPath is cut back before return.
#include "registration/program_group.h"
#include <cstring>
#include "install/setup_state.h"
#include "platform/shell.h"
#include "registration/settings_file.h"

// Zero-filled, so that it is no part of the program's file.
ProgramGroupState groups;

static const char* const ShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void InitProgramGroups(HWND comboBox) {
  groups.commonProgramsFound = 0;
  if (LocateProgramsFolder(0) == 0) return;
  ListProgramGroups(comboBox);
  // An installation for the current user alone keeps to the user's own Programs folder.
  if (setup.scope == KindScopeUser || LocateProgramsFolder(1) == 0) return;
  ListProgramGroups(comboBox);
  groups.commonProgramsFound = 1;
}

uint16_t LocateProgramsFolder(int allUsers) {
  // The shell's reader empties the path before anything else.
  int folderId = allUsers ? CommonProgramsFolderId : ProgramsFolderId;
  groups.programsLength = SpecialFolderPath(folderId, groups.programsPath);
  return groups.programsLength;
}

uint16_t FitGroupName(char* name, CharacterStep step) {
  const char* end = name;
  while (*end) {
    const char* next = step ? step(end) : NextCharacter(end);
    if (next == end || next - name > static_cast<ptrdiff_t>(GroupLimit)) break;
    end = next;
  }
  name[end - name] = '\0';
  return static_cast<uint16_t>(end - name);
}

static bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void ListProgramGroups(HWND comboBox) {
  if (!AppendText(groups.programsPath, "\\*")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstEntry(groups.programsPath, &found);
  groups.programsPath[groups.programsLength] = '\0';
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(found.cFileName)) continue;
    FitGroupName(found.cFileName);
    AddComboText(comboBox, found.cFileName);
  } while (FindNextEntry(search, &found));
  CloseEntrySearch(search);
}

bool GroupNameStaysInside(const char* name, CharacterStep step) {
  if (name[0] == '\\' || name[0] == '/') return false;
  bool onlyDots = true;  // the current part so far, empty counts too
  bool partHasDot = false;
  for (const char* character = name;; ) {
    char c = *character;
    if (c == '\0' || c == '\\' || c == '/') {
      // Windows drops trailing dots and spaces from a part, so "..", ". ." and "..." all climb.
      if (onlyDots && partHasDot) return false;
      if (c == '\0') return true;
      onlyDots = true;
      partHasDot = false;
      ++character;
      continue;
    }
    const char* next = step ? step(character) : NextCharacter(character);
    if (next == character) next = character + 1;
    if (next - character == 1) {
      if (c == ':') return false;
      if (c == '.') partHasDot = true;
      else if (c != ' ') onlyDots = false;
    } else {
      onlyDots = false;
    }
    character = next;
  }
}

bool LocateStartupFolder(int allUsers) {
  // The reader empties the path before anything else.
  ReadStringValue(allUsers ? RootLocalMachine : RootCurrentUser, ShellFoldersKey,
                  allUsers ? "Common Startup" : "Startup", groups.groupPath, sizeof groups.groupPath);
  groups.groupLength = static_cast<uint16_t>(strnlen(groups.groupPath, PathSize - 1));
  return groups.groupLength != 0;
}

bool CreateGroupFolder() { return groups.groupLength != 0 && MakeDirectory(groups.groupPath); }

void RemoveGroupFolder() {
  if (groups.groupLength != 0) RemoveEmptyDirectory(groups.groupPath);
}

static void CutGroupPath() { groups.groupPath[groups.groupLength] = '\0'; }

// An empty group path would turn the name into one relative to the current drive's root. The
// appends are checked: a name that does not fit leaves the path as it was, and false.
static bool AppendToGroupPath(const char* name, const char* extension) {
  bool fits = groups.groupLength != 0 && AppendTexts(groups.groupPath, {"\\", name, extension});
  if (!fits) CutGroupPath();
  return fits;
}

// The group is an item of the Programs folder: its path starts as that folder's, and takes the
// name as any item does.
bool BuildGroupPath(const char* name) {
  groups.groupLength = groups.programsLength;
  if (!CopyText(groups.groupPath, groups.programsPath) || !AppendToGroupPath(name, "")) {
    groups.groupLength = 0;
    CutGroupPath();
    return false;
  }
  groups.groupLength = static_cast<uint16_t>(strlen(groups.groupPath));
  return true;
}

bool DeleteGroupLink(const char* name) {
  if (!AppendToGroupPath(name, ".lnk")) return false;
  bool deleted = DeletePath(groups.groupPath);
  CutGroupPath();
  return deleted;
}

bool MakeGroupItemPath(const char* name, const char* extension, wchar_t* widePath) {
  if (!AppendToGroupPath(name, extension)) return false;
  bool widened = WidenText(groups.groupPath, widePath, PathSize);
  CutGroupPath();
  return widened;
}

LinkSaveOutcome CreateShortcut(const char* name, const char* target, uint16_t iconIndex) {
  if (!AppendToGroupPath(name, ".lnk")) return LinkNotSaved;
  LinkSaveOutcome outcome = SaveShellLink(groups.groupPath, target, iconIndex);
  CutGroupPath();
  return outcome;
}

HANDLE FindGroupLinks(WIN32_FIND_DATAA* link) {
  if (!AppendToGroupPath("*", ".lnk")) return INVALID_HANDLE_VALUE;
  HANDLE search = FindFirstEntry(groups.groupPath, link);
  CutGroupPath();
  return search;
}

bool ResolveShortcut(WIN32_FIND_DATAA* link, char* target) {
  target[0] = '\0';
  wchar_t linkPath[PathSize];
  if (!MakeGroupItemPath(link->cFileName, "", linkPath)) return false;
  return LoadShellLinkTarget(linkPath, target, link);
}

// Shortcuts go into the all-users group when the common Programs folder was found at start; when
// the first one cannot be made there, the whole group is made again under the user's own folder.
// A save that outlives its bound ends the group's attempts: the shell it waits on would hold the
// next one as long. False when a shortcut could not be made; the caller tells the user once the
// state is settled.
bool CreateProgramGroup() {
  if (setup.groupName[0] == '\0' || !GroupNameStaysInside(setup.groupName)) return true;
  uint16_t failures = 0;
  bool shellHung = false;
  setup.allUsers = groups.commonProgramsFound;
  bool commonAttempt = groups.commonProgramsFound != 0;
  for (;;) {
    LocateProgramsFolder(setup.allUsers);
    if (!BuildGroupPath(setup.groupName)) break;
    bool made = CreateGroupFolder();
    bool fallBack = false;
    for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd() && !fallBack; ++entry) {
      if (entry->kind == KindShortcut && !shellHung) {
        LinkSaveOutcome outcome = CreateShortcut(entry->name, setup.workPath, 0);
        shellHung = outcome == LinkSaveTimedOut;
        if (outcome == LinkNotSaved && commonAttempt) fallBack = true;
        else if (outcome != LinkSaved) ++failures;
        commonAttempt = false;
      }
      ComposeWorkPath(entry->name);
    }
    if (!fallBack) {
      // Remembered until the uninstall: only a group folder this installation made is removed.
      // A reinstall finds its own earlier folder present and keeps the record as it is.
      if (made) WriteSettingsText(CreatedGroupKey, groups.groupPath);
      break;
    }
    if (made) RemoveGroupFolder();  // the empty all-users folder this attempt made
    setup.allUsers = 0;
  }
  return failures == 0;
}

bool GroupFolderIsOwn() {
  char created[PathSize];
  ReadSettingsText(CreatedGroupKey, created, sizeof created);
  return groups.groupLength != 0 && IsSameFolder(groups.groupPath, created);
}
