// The uninstall entry under HKEY_LOCAL_MACHINE: its six values, written in a fixed order from one
// table, and its removal. Failures are silent: without rights the installation simply has no entry.
#include "registration/uninstall_entry.h"
#include "install/setup_state.h"

struct UninstallValueRow {
  const char* name;
  uint16_t type;
  const char* text;  // REG_SZ
  uint32_t number;   // REG_DWORD
};

static const UninstallValueRow UninstallValues[] = {
    {"DisplayName", REG_SZ, "Quorvel", 0},
    {"UninstallString", REG_SZ, setup.uninstallerPath, 0},
    {"InstallLocation", REG_SZ, setup.folder, 0},
    {"Publisher", REG_SZ, "Norvane", 0},
    {"VersionMajor", REG_DWORD, nullptr, 1},
    {"VersionMinor", REG_DWORD, nullptr, 740},
};

// An empty key path would name HKEY_LOCAL_MACHINE itself; never write or delete there.
void WriteUninstallEntry() {
  if (setup.uninstallKeyPath[0] == '\0') return;
  HKEY key = CreateKeyForWrite(RootLocalMachine, setup.uninstallKeyPath);
  if (!key) return;
  for (const UninstallValueRow& row : UninstallValues) {
    if (row.type == REG_SZ) SetStringValue(key, row.name, row.text);
    else SetNumberValue(key, row.name, row.number);
  }
  CloseKey(key);
}

void DeleteUninstallEntry() {
  if (setup.uninstallKeyPath[0] == '\0') return;
  DeleteKey(RootLocalMachine, setup.uninstallKeyPath);
}
