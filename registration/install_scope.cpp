// The installation's scope: machine-wide or for the current user, and the check that guards
// Install and Uninstall of a machine-wide installation in a run without administrator rights.
// Decided by trying what Windows allows rather than by asking about groups and tokens: Windows 95
// has neither, and an administrator whose rights are filtered by User Account Control is refused
// like any other standard user.
#include "registration/install_scope.h"
#include "install/folder_rules.h"
#include "install/state_records.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"

// The key exists on every Windows; opening it to set values is what a user without administrator
// rights is refused, and Windows 95 refuses no one.
bool MachineWideAllowed() {
  HKEY key = CreateKeyForWrite(RootLocalMachine, UninstallKeysPath);
  CloseKey(key);
  return key != nullptr;
}

// Whether the folder of `scope`'s settings (or its default) holds an installation; for the
// uninstaller copy, whether it is the copy's own folder. The dialog reads it all again at start.
static bool ScopeHoldsInstallation(uint16_t scope, const char* ownFolder) {
  setup.scope = scope;
  ReadGroupAndFolder();
  NormaliseFolder();
  if (ownFolder[0] != '\0') return IsSameFolder(setup.folder, ownFolder);
  ReadInstallationState();
  return setup.partiallyInstalled;
}

bool SetInstallScope(InstallScope wanted) {
  bool allowed = MachineWideAllowed();
  if (wanted != KindScopeUndecided) {
    if (wanted == KindScopeMachine && !allowed) return false;
    setup.scope = wanted;
    return true;
  }
  uint16_t own = allowed ? KindScopeMachine : KindScopeUser;
  uint16_t other = allowed ? KindScopeUser : KindScopeMachine;
  char ownFolder[PathSize];
  ownFolder[0] = '\0';
  if (DirectoryHoldsInstallation(setup.ownPath, setup.ownDirLength))
    AppendTextPart(ownFolder, sizeof ownFolder, setup.ownPath, setup.ownDirLength - 1u);
  bool otherOnly = ScopeHoldsInstallation(other, ownFolder) && !ScopeHoldsInstallation(own, ownFolder);
  setup.scope = otherOnly ? other : own;
  return true;
}

// Checked before anything is changed, so that a machine-wide installation is never left half
// removed by the files and keys a standard user may not touch.
bool CheckRightsMissing() {
  if (setup.scope == KindScopeUser || MachineWideAllowed()) return false;
  ShowMessage("Installed for all users, ask an administrator", setup.folder, MB_OK);
  return true;
}
