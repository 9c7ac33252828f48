// The begun record and the completion marker in the installation folder, and the state read from
// them at start. The begun record lives in the folder, not in kavri.ini: it then names its own
// installation without a comparison of folder texts, the uninstaller copy finds it beside itself
// when the list of installed programs starts it, and two installations in two folders each keep
// their own.
#include "install/state_records.h"
#include <cstring>
#include "install/setup_state.h"

static const char BegunText[] =
    "Quorvel 1.740: an installation or uninstall began here and did not finish.\r\n"
    "Start kavriset.exe to uninstall it, or the installer to install it again.\r\n";

static bool FolderHolds(const char* name) {
  bool present = ComposeWorkPath(name) && FileIsPresent(setup.workPath);
  ResetWorkPath();
  return present;
}

void ReadInstallationState() {
  setup.installed = FolderHolds(InstallRecordName);
  setup.partiallyInstalled = setup.installed || FolderHolds(BegunRecordName);
  setup.openAvailable = setup.installed;
  setup.bytesDone = setup.installed ? ProgressTotal : 0;
}

bool DirectoryHoldsInstallation(const char* directory, uint16_t length) {
  const char* const names[] = {InstallRecordName, BegunRecordName};
  for (const char* name : names) {
    char probe[PathSize];
    probe[0] = '\0';
    if (AppendTextPart(probe, sizeof probe, directory, length) && AppendText(probe, name) && FileIsPresent(probe))
      return true;
  }
  return false;
}

static bool WriteFolderRecord(const char* name, const char* text, uint32_t length, bool* created) {
  *created = false;
  if (!ComposeWorkPath(name)) return false;
  FileHandle file = CreateForWrite(setup.workPath);
  if (file == NoFile) return false;
  *created = true;
  bool whole = WriteBlock(file, text, length) == static_cast<long>(length);
  CloseFile(file);
  return whole;
}

bool MarkInstallationBegun() {
  bool created;
  if (!WriteFolderRecord(BegunRecordName, BegunText, sizeof BegunText - 1, &created)) return false;
  DeleteFolderRecord(InstallRecordName);
  return true;
}

bool WriteInstallRecord(const char* text, uint32_t length, bool* created) {
  return WriteFolderRecord(InstallRecordName, text, length, created);
}

void DeleteFolderRecord(const char* name) {
  if (ComposeWorkPath(name)) DeletePath(setup.workPath);
  ResetWorkPath();
}
