// The uninstall sequence, run to completion inside the Uninstall command. It deletes only what the
// installation owns, in an order that a later Uninstall can always finish: the installation is
// first marked as begun and its completion marker taken away; then go the Startup shortcuts, the
// group with the shortcuts that point into the installation folder and the installed files; only
// when all of them are gone do the uninstaller copy, the begun record, the emptied folders, the
// record of what was created and the uninstall entry follow, in that order.
#include "removal/uninstall.h"
#include <cstring>
#include "install/folder_rules.h"
#include "install/progress_meter.h"
#include "install/setup_state.h"
#include "install/state_records.h"
#include "platform/shell.h"
#include "registration/install_scope.h"
#include "registration/program_group.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"
#include "removal/self_delete.h"

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

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) static void SubtractFromProgress(uint32_t size) {
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
static bool RemoveLinkTarget(const char* target, const WIN32_FIND_DATAA& targetData) {
  // The folder is the same for every entry: one comparison decides for all of them.
  if (!TargetLiesInFolder(target)) return false;
  const PayloadEntry* first = FirstFileEntry();
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    // The target's file name against the entry's, compared as folder names are: without regard to case.
    if (entry->kind != KindFile || !IsSameFolder(entry->name, targetData.cFileName)) continue;
    uint32_t size = targetData.nFileSizeLow;
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
  WIN32_FIND_DATAA link;
  HANDLE search = FindGroupLinks(&link);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      ++linksLeft;
      // Resolving the link describes its target in its place.
      char linkName[PathSize];
      size_t nameLength = strlen(link.cFileName);
      if (nameLength < 4 || !CopyText(linkName, link.cFileName)) continue;
      linkName[nameLength - 4] = '\0';
      char target[PathSize];
      if (!ResolveShortcut(&link, target)) continue;
      if (RemoveLinkTarget(target, link)) {
        DeleteGroupLink(linkName);
        --linksLeft;
      }
    } while (FindNextEntry(search, &link));
    CloseEntrySearch(search);
  }
  // A folder that was there before the installation (another program's group, Startup) stays.
  if (linksLeft != 0 || !GroupFolderIsOwn()) return;
  RemoveGroupFolder();
  WriteSettingsText(CreatedGroupKey, nullptr);
}

// The running copy cannot be deleted, but it can be renamed on its own volume: moved into the
// temporary folder under a plain name, it no longer holds the installation folder, which can then
// go at once. A temporary folder on another volume, or none at all, takes no name: the deletion
// after exit then deletes the copy where it is, and the folders after it.
static bool MoveCopyTo(const char* path) { return RenameWithinVolume(setup.workPath, path); }

static void MoveRunningCopyAside() {
  char moved[PathSize];
  uint32_t length = TakeTemporaryName(moved, ".tmp", MoveCopyTo);
  if (length == 0) return;
  CopyText(setup.movedCopyPath, moved);
  // The program's current directory would keep the folder from being removed.
  moved[length] = '\0';
  SetCurrentFolder(moved);
}

// Copies moved aside by an uninstall that was killed before its deletion ran, or whose deletion gave
// up: "xan", three digits, a letter, ".tmp". A copy still running or held stays.
void DeleteLeftoverCopies() {
  char path[PathSize];
  uint32_t length = TempFolderPath(path, sizeof path);
  // A folder that leaves room for a temporary name leaves it for the pattern of one.
  if (!TempFolderLeavesRoom(length) || !AppendText(path, "xan???*.tmp")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstEntry(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const char* name = found.cFileName;
    bool ours = strlen(name) == 11 && name[6] >= 'a' && name[6] <= 'z' && memcmp(name + 7, ".tmp", 4) == 0;
    for (int digit = 3; ours && digit < 6; ++digit) ours = name[digit] >= '0' && name[digit] <= '9';
    if (!ours || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    path[length] = '\0';
    if (AppendText(path, name)) DeletePath(path);
  } while (FindNextEntry(search, &found));
  CloseEntrySearch(search);
}

// A file that will not go is the user's to know about; it keeps the installation partial. Only the
// running program's own file, which can be the uninstaller copy alone, waits for the program to end.
static bool RemoveFolderFile(const char* name, bool counted, bool mayBeRunning = false) {
  if (!ComposeWorkPath(name) || !FileIsListed(setup.workPath)) return true;
  uint32_t size = counted ? FileLength(setup.workPath) : 0;
  if (!DeletePath(setup.workPath)) {
    if (!mayBeRunning || !IsSameFile(setup.workPath, setup.ownPath)) {
      ShowMessage("File not deleted", setup.workPath, MB_OK);
      return false;
    }
    setup.selfDeletePending = true;
    MoveRunningCopyAside();
  }
  SubtractFromProgress(size);
  return true;
}

bool RemoveInstalledFiles() {
  const PayloadEntry* first = FirstFileEntry();
  bool allGone = true;
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    if (entry == first || (entry->kind != KindFile && entry->kind != KindLaterFile)) continue;
    allGone = RemoveFolderFile(entry->name, entry->kind == KindFile) && allGone;
  }
  // A file that a stopped run was still writing under its name ending in "_".
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    if (entry->kind != KindFile) continue;
    char temporary[PathSize];
    size_t length = strlen(entry->name);
    if (length == 0 || !CopyText(temporary, entry->name)) continue;
    temporary[length - 1] = '_';
    allGone = RemoveFolderFile(temporary, false) && allGone;
  }
  ResetWorkPath();
  return allGone;
}

// True when the copy is gone or will go after the program has ended.
static bool RemoveUninstallerCopy() { return RemoveFolderFile(FirstFileEntry()->name, true, true); }

void RemoveFolderChain() {
  int prefix = setup.folderPrefixLength;
  int root = setup.rootPrefixLength;
  int created = setup.createdFolderLength;
  if (prefix <= 3 || prefix > static_cast<int>(PathSize) || created == 0) return;
  if (created <= root) created = root + 1;  // the root stays even when the record names it
  char folder[PathSize];
  folder[0] = '\0';
  if (!AppendTextPart(folder, sizeof folder, setup.workPath, prefix - 1)) return;
  for (;;) {
    int length = static_cast<int>(strlen(folder));
    if (length < created) break;
    RemoveEmptyDirectory(folder);
    int beyondRoot = length > root ? length - root : 0;
    int separator = FindLastSeparator(beyondRoot, setup.workPath + root, '\\');
    if (separator >= beyondRoot) break;
    folder[root + separator] = '\0';
  }
}

void RunUninstall() {
  // A click queued before the installation started must not take its files away under it.
  if (setup.installing || CheckRightsMissing() || CheckFilesInUse()) return;
  DeleteLeftoverCopies();
  MarkInstallationBegun();
  setup.installed = false;
  setup.openAvailable = false;
  setup.installedThisRun = false;
  // An installation for the current user alone touches nothing of everyone's.
  for (int allUsers = 0; allUsers <= (setup.scope != KindScopeUser); ++allUsers)
    if (LocateStartupFolder(allUsers)) DeleteGroupLink(PublicationTitle);
  DeleteOfferPerchVersion();
  RemoveProgramGroup();
  bool allGone = RemoveInstalledFiles() && RemoveUninstallerCopy();
  ResetWorkPath();
  if (allGone) {
    DeleteFolderRecord(BegunRecordName);
    setup.createdFolderLength = ReadCreatedFolderLength();
    // The deletion of a copy that still lies in the folder removes the created folders after exit.
    if (!setup.selfDeletePending || setup.movedCopyPath[0] != '\0') RemoveFolderChain();
    DeleteCreatedFolderRecord();
    DeleteUninstallEntry();
    setup.partiallyInstalled = false;
    setup.bytesDone = 0;
    UpdateProgress();
  }
  ReportSetupChange(KindUninstallEnded);
}
