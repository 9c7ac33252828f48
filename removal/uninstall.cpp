// The uninstall sequence, run to completion inside the Uninstall command: registry entry, Startup
// shortcuts, the group with the shortcuts that point into the installation folder, the installed
// files, the install record and the emptied folders. It deletes only what the installation owns.
#include "removal/uninstall.h"
#include <cstring>
#include "removal/self_delete.h"
#include "app/main_dialog.h"
#include "install/folder_rules.h"
#include "install/progress_meter.h"
#include "install/setup_state.h"
#include "registration/program_group.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"

int FindLastSeparator(int count, const char* text, char character) {
  int last = count;
  int offset = 0;
  while (offset < count) {
    int found = offset + FindSeparator(count - offset, text + offset, character);
    if (found >= count) break;
    last = found;
    offset = found + 1;
  }
  return last;
}

static void SubtractFromProgress(uint32_t size) {
  setup.bytesDone -= size < setup.bytesDone ? size : setup.bytesDone;
  UpdateProgress();
}

// Upper case, "/" taken as "\", runs of separators as one and no trailing separator, so that two
// spellings of one folder compare equal byte for byte.
static void CanonicaliseFolderText(char* text) {
  UpperCaseText(text);
  char* out = text;
  for (const char* in = text; *in;) {
    const char* next = NextCharacter(in);
    if (next == in) break;
    bool separator = next - in == 1 && (*in == '\\' || *in == '/');
    if (separator) {
      if (out == text || out[-1] != '\\') *out++ = '\\';
    } else {
      while (in != next) *out++ = *in++;
    }
    in = next;
  }
  if (out != text && out[-1] == '\\') --out;
  *out = '\0';
}

// A shortcut's target is the installation's own file only when it lies directly in the
// installation folder; a file of the same name elsewhere belongs to someone else.
static bool TargetLiesInFolder(const char* target) {
  char targetFolder[PathSize];
  char ownFolder[PathSize];
  if (!CopyText(targetFolder, target) || !CopyText(ownFolder, setup.folder)) return false;
  for (char* p = targetFolder; *p; p = const_cast<char*>(NextCharacter(p)))
    if (*p == '/') *p = '\\';
  int length = static_cast<int>(strlen(targetFolder));
  int separator = FindLastSeparator(length, targetFolder, '\\');
  if (separator >= length) return false;
  targetFolder[separator] = '\0';
  CanonicaliseFolderText(targetFolder);
  CanonicaliseFolderText(ownFolder);
  return ownFolder[0] != '\0' && strcmp(targetFolder, ownFolder) == 0;
}

// Deletes the resolved target of the current link when it is one of the installed files; true
// when the link itself may go.
static bool RemoveLinkTarget(const char* target) {
  char targetName[PathSize];
  if (!CopyText(targetName, groups.linkFindData.cFileName)) return false;
  UpperCaseText(targetName);
  size_t length = strlen(targetName);
  const PayloadEntry* first = FirstFileEntry();
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    if (entry->kind != KindFile || strlen(entry->name) != length) continue;
    char entryName[PathSize];
    if (!CopyText(entryName, entry->name)) continue;
    UpperCaseText(entryName);
    if (memcmp(entryName, targetName, length) != 0 || !TargetLiesInFolder(target)) continue;
    uint32_t size = groups.linkFindData.nFileSizeLow;
    if (!DeletePath(target)) {
      if (entry != first) continue;
      size = 0;
    }
    SubtractFromProgress(size);
    return true;
  }
  return false;
}

void RemoveProgramGroup() {
  // With no name the group path would be the Programs folder itself; a name that leaves the
  // Programs folder was never the installation's.
  if (setup.groupName[0] == '\0' || !GroupNameStaysInside(setup.groupName)) return;
  LocateProgramsFolder(setup.allUsers);
  if (!BuildGroupPath(setup.groupName)) return;
  uint16_t linksLeft = 0;
  if (FindGroupLinks()) {
    do {
      ++linksLeft;
      char linkName[PathSize];
      size_t nameLength = strlen(groups.linkFindData.cFileName);
      if (nameLength < 4 || !CopyText(linkName, groups.linkFindData.cFileName)) continue;
      linkName[nameLength - 4] = '\0';
      char target[PathSize];
      if (!ResolveShortcut(target)) continue;
      if (RemoveLinkTarget(target)) {
        DeleteGroupLink(linkName);
        --linksLeft;
      }
    } while (NextGroupLink());
    CloseGroupLinks();
  }
  // A folder that was there before the installation (another program's group, Startup) stays.
  if (linksLeft != 0 || !GroupFolderIsOwn()) return;
  RemoveGroupFolder();
  WriteSettingsText(CreatedGroupKey, nullptr);
}

// The running copy cannot be deleted, but it can be renamed on its own volume: moved into the
// temporary folder under a plain name, it no longer holds the installation folder, which can then
// go at once, and the script that deletes it later names no path but that plain name.
static bool MoveCopyTo(const char* path) { return RenamePath(setup.workPath, path); }

static void MoveRunningCopyAside() {
  char moved[PathSize];
  uint32_t length = TakeTemporaryName(moved, ".tmp", MoveCopyTo);
  if (length == 0) return;
  CopyText(setup.movedCopyPath, moved);
  // The program's current directory would keep the folder from being removed.
  moved[length] = '\0';
  SetCurrentFolder(moved);
}

void RemoveInstalledFiles() {
  const PayloadEntry* first = FirstFileEntry();
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    if (entry->kind != KindFile && entry->kind != KindLaterFile) continue;
    if (!ComposeWorkPath(entry->name) || !FileIsListed(setup.workPath)) continue;
    uint32_t size = 0;
    FileHandle file = entry->kind == KindFile ? OpenForRead(setup.workPath) : NoFile;
    if (file != NoFile) {
      size = SeekToEnd(file);
      CloseFile(file);
    }
    if (!DeletePath(setup.workPath)) {
      // Only the running program's own file waits for the program to end; any other file that
      // will not go is the user's to know about.
      if (entry == first && IsSameFile(setup.workPath, setup.ownPath)) {
        setup.selfDeletePending = true;
        MoveRunningCopyAside();
      } else {
        ShowMessage("File not deleted", setup.workPath, MB_OK);
      }
    }
    SubtractFromProgress(size);
  }
}

// The created folder on record belongs to this installation only when the installation folder
// lies within it; it is then the highest folder that uninstall may remove.
static void LoadCreatedFolder() {
  setup.createdFolderLength = 0;
  char created[PathSize];
  ReadSettingsText(CreatedFolderKey, created, sizeof created);
  if (FolderLiesWithin(setup.folder, created)) setup.createdFolderLength = static_cast<uint16_t>(strlen(created));
}

void RemoveFolderChain() {
  int prefix = setup.folderPrefixLength;
  int root = setup.rootPrefixLength;
  int created = setup.createdFolderLength;
  if (prefix <= 3 || prefix > static_cast<int>(PathSize) || created == 0) return;
  if (created <= root) created = root + 1;  // the root stays even when the record names it
  char folder[PathSize] = {};
  if (!AppendTextPart(folder, sizeof folder, setup.workPath, prefix - 1)) return;
  for (;;) {
    if (static_cast<int>(strlen(folder)) < created) break;
    RemoveEmptyDirectory(folder);
    int length = static_cast<int>(strlen(folder));
    int beyondRoot = length > root ? length - root : 0;
    int separator = FindLastSeparator(beyondRoot, setup.workPath + root, '\\');
    if (separator >= beyondRoot) break;
    folder[root + separator] = '\0';
  }
}

void RunUninstall() {
  // A click queued before the installation started must not take its files away under it.
  if (setup.installing || CheckFilesInUse()) return;
  DeleteUninstallEntry();
  for (int allUsers = 0; allUsers <= 1; ++allUsers)
    if (LocateStartupFolder(allUsers)) DeleteGroupLink(PublicationTitle);
  DeleteOfferPerchVersion();
  RemoveProgramGroup();
  RemoveInstalledFiles();
  if (ComposeWorkPath(InstallRecordName)) DeletePath(setup.workPath);
  ResetWorkPath();
  LoadCreatedFolder();
  RemoveFolderChain();
  // The script of a copy that still lies in the folder removes the created folders after exit.
  if (setup.createdFolderLength != 0) WriteSettingsText(CreatedFolderKey, nullptr);
  setup.partiallyInstalled = false;
  setup.installed = false;
  setup.bytesDone = 0;
  UpdateProgress();
  setup.openAvailable = false;
  setup.installedThisRun = false;
  SetControlText(2, "E&xit");
  UpdateControlState();
  FocusControl(2);
}
