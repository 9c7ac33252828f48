// The uninstall entry, under HKEY_LOCAL_MACHINE or for the current user alone under
// HKEY_CURRENT_USER (the same values: the list of installed programs shows both): its twelve
// values, written in a fixed order from one table, and its removal. Failures are silent.
#include "registration/uninstall_entry.h"
#include "install/folder_rules.h"
#include "install/setup_state.h"
#include "platform/paths.h"

const char* const UninstallKeysPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static RegistryRoot EntryRoot() { return setup.scope == KindScopeUser ? RootCurrentUser : RootLocalMachine; }

// Values composed at completion; the table points at them.
static struct {
  char quotedUninstaller[PathSize + 2];  // the path in double quotes
  char quietUninstaller[PathSize + 5];   // the same, " /S"
  char iconLocation[PathSize + 2];       // the path, ",0"
  uint32_t installedKiB;
} composed;

// A row names either a text (REG_SZ) or a number (REG_DWORD).
struct UninstallValueRow {
  const char* name;
  const char* text;
  const uint32_t* number;
};

static const uint32_t One = 1;
static const uint32_t Minor = 740;

// The list of installed programs runs UninstallString as a command line, so a path with a space
// must be quoted; package managers run QuietUninstallString instead. The icon is the uninstaller copy's own (icon 101): it is the program itself and
// always carries the publication's icon, while the viewer is whatever the publisher supplied.
// The explicit ",0" keeps a comma in the folder name from being read as the icon index.
static const UninstallValueRow UninstallValues[] = {
    {"DisplayName", "Quorvel", nullptr},
    {"UninstallString", composed.quotedUninstaller, nullptr},
    {"QuietUninstallString", composed.quietUninstaller, nullptr},
    {"InstallLocation", setup.folder, nullptr},
    {"Publisher", "Norvane", nullptr},
    {"VersionMajor", nullptr, &One},
    {"VersionMinor", nullptr, &Minor},
    {"DisplayIcon", composed.iconLocation, nullptr},
    {"DisplayVersion", "1.740", nullptr},
    {"EstimatedSize", nullptr, &composed.installedKiB},
    {"NoModify", nullptr, &One},
    {"NoRepair", nullptr, &One},
};

// What the installation leaves in the folder, measured there: every extracted file and the
// InstallRecord (written after the entry, so its length is given), in KiB rounded up.
static uint32_t MeasureInstalledKiB(uint32_t recordBytes) {
  uint64_t bytes = recordBytes;
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry)
    if (entry->kind == KindFile && ComposeWorkPath(entry->name)) bytes += FileLength(setup.workPath);
  ResetWorkPath();
  return static_cast<uint32_t>((bytes + 1023) / 1024);
}

// False when a path does not fit: an entry whose UninstallString is empty would lead nowhere.
static bool ComposeEntryValues(uint32_t recordBytes) {
  bool fits = CopyText(composed.quotedUninstaller, "\"") && setup.uninstallerPath[0] != '\0' &&
              AppendText(composed.quotedUninstaller, setup.uninstallerPath) &&
              AppendText(composed.quotedUninstaller, "\"") &&
              CopyText(composed.quietUninstaller, composed.quotedUninstaller) &&
              AppendText(composed.quietUninstaller, " /S") &&
              CopyText(composed.iconLocation, setup.uninstallerPath) && AppendText(composed.iconLocation, ",0");
  composed.installedKiB = MeasureInstalledKiB(recordBytes);
  return fits;
}

// An empty key path would name the root itself; never write or delete there.
void WriteUninstallEntry(uint32_t recordBytes) {
  if (setup.uninstallKeyPath[0] == '\0' || !ComposeEntryValues(recordBytes)) return;
  HKEY key = CreateKeyForWrite(EntryRoot(), setup.uninstallKeyPath);
  if (!key) return;
  for (const UninstallValueRow& row : UninstallValues) {
    if (row.text) SetStringValue(key, row.name, row.text);
    else SetNumberValue(key, row.name, *row.number);
  }
  CloseKey(key);
}

// The key is shared by every installation of the publication: it goes only when it names this
// installation's folder, so that uninstalling one folder never unlists another installation.
void DeleteUninstallEntry() {
  if (setup.uninstallKeyPath[0] == '\0') return;
  RegistryRoot root = EntryRoot();
  char location[PathSize];
  if (!ReadStringValue(root, setup.uninstallKeyPath, "InstallLocation", location, sizeof location) ||
      !IsSameFolder(location, setup.folder))
    return;
  DeleteKey(root, setup.uninstallKeyPath);
}
