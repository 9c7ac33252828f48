// The settings file "kavri.ini": group, folder and all-users choice in section "Installed", and
// the one key of section "Settings" that uninstall removes.
#include "registration/settings_file.h"
#include <cstring>
#include "install/folder_rules.h"
#include "install/setup_state.h"

static const char* const InstalledSection = "Installed";
const char* const CreatedFolderKey = "CreatedFolder";
const char* const CreatedGroupKey = "CreatedGroup";
static const char* const CreatedForKey = "CreatedFor";

uint16_t ReadSettingsInt(const char* key, uint16_t fallback) {
  return static_cast<uint16_t>(ReadProfileNumber(SettingsFileName, InstalledSection, key, fallback));
}

void WriteSettingsInt(const char* key, uint16_t value) {
  char text[8] = "";
  if (!AppendNumber(text, value)) return;
  WriteProfileText(SettingsFileName, InstalledSection, key, text);
}

void ReadGroupAndFolder() {
  ReadProfileText(SettingsFileName, InstalledSection, "Group", DefaultGroupName, setup.groupName,
                  sizeof setup.groupName);
  ReadProfileText(SettingsFileName, InstalledSection, "Folder", "", setup.folder, sizeof setup.folder);
}

void WriteGroupAndFolder() {
  WriteProfileText(SettingsFileName, InstalledSection, "Group", setup.groupName);
  WriteProfileText(SettingsFileName, InstalledSection, "Folder", setup.folder);
}

void DeleteOfferPerchVersion() { WriteProfileText(SettingsFileName, "Settings", "OfferPerchVersion", nullptr); }

void ReadSettingsText(const char* key, char* buffer, uint32_t size) {
  ReadProfileText(SettingsFileName, InstalledSection, key, "", buffer, size);
}

void WriteSettingsText(const char* key, const char* text) {
  WriteProfileText(SettingsFileName, InstalledSection, key, text);
}

static bool RecordIsForThisFolder() {
  char recordedFor[PathSize];
  ReadSettingsText(CreatedForKey, recordedFor, sizeof recordedFor);
  return IsSameFolder(recordedFor, setup.folder);
}

void DeleteCreatedFolderRecord() {
  WriteSettingsText(CreatedForKey, nullptr);
  WriteSettingsText(CreatedFolderKey, nullptr);
}

// The folder it is for is written last: a run stopped in between leaves a record that names no
// installation, which is ignored, never one that pairs a new folder with an old record.
void RecordCreatedFolders() {
  if (setup.createdFolderLength == 0) {
    if (!RecordIsForThisFolder()) DeleteCreatedFolderRecord();
    return;
  }
  char created[PathSize] = "";
  if (!AppendTextPart(created, sizeof created, setup.folder, setup.createdFolderLength)) return;
  WriteSettingsText(CreatedForKey, nullptr);
  WriteSettingsText(CreatedFolderKey, created);
  WriteSettingsText(CreatedForKey, setup.folder);
}

uint16_t ReadCreatedFolderLength() {
  if (!RecordIsForThisFolder()) return 0;
  char created[PathSize];
  ReadSettingsText(CreatedFolderKey, created, sizeof created);
  size_t length = strlen(created);
  // A drive root is never the installation's to remove.
  if (length <= setup.rootPrefixLength || !FolderLiesWithin(setup.folder, created)) return 0;
  return static_cast<uint16_t>(length);
}
