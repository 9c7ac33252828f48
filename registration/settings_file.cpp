// The settings file "kavri.ini": group, folder and all-users choice in section "Installed", and
// the one key of section "Settings" that uninstall removes.
#include "registration/settings_file.h"
#include "install/setup_state.h"

static const char* const InstalledSection = "Installed";
const char* const CreatedFolderKey = "CreatedFolder";
const char* const CreatedGroupKey = "CreatedGroup";

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
