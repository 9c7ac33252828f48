// The installation's scope: machine-wide or for the current user, and the check that guards
// Install and Uninstall of a machine-wide installation in a run without administrator rights.
// Decided by trying what Windows allows rather than by asking about groups and tokens: Windows 95
// has neither, and an administrator whose rights are filtered by User Account Control is refused
// like any other standard user.
#include "registration/install_scope.h"
#include <cstring>
#include "install/folder_rules.h"
#include "install/state_records.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"

bool MachineWideAllowed() { return KeyAllowsCreating(RootLocalMachine, UninstallKeysPath); }

// Whether the settings of `scope` name an installation: ownFolder's when the running program lies
// in one (with its final separator), any installation otherwise. Leaves setup.scope at `scope`.
static bool SettingsNameInstallation(uint16_t scope, const char* ownFolder) {
  setup.scope = scope;
  char folder[PathSize];
  ReadSettingsText("Folder", folder, FolderLimit + 1);
  if (folder[0] == '\0' || !AppendText(folder, "\\")) return false;
  if (ownFolder[0] != '\0') return IsSameFolder(folder, ownFolder);
  return DirectoryHoldsInstallation(folder, static_cast<uint16_t>(strlen(folder)));
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
  char ownFolder[PathSize] = "";
  if (DirectoryHoldsInstallation(setup.ownPath, setup.ownDirLength))
    AppendTextPart(ownFolder, sizeof ownFolder, setup.ownPath, setup.ownDirLength);
  bool otherOnly = SettingsNameInstallation(other, ownFolder) && !SettingsNameInstallation(own, ownFolder);
  setup.scope = otherOnly ? other : own;
  return true;
}

// Checked before anything is changed, so that a machine-wide installation is never left half
// removed by the files and keys a standard user may not touch.
bool CheckRightsMissing() {
  if (setup.scope == KindScopeUser || MachineWideAllowed()) return false;
  ShowMessage("Installed for all users, only an administrator can change it", setup.folder, MB_OK);
  return true;
}
