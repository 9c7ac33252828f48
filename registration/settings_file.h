// The settings file "kavri.ini": group, folder and all-users choice in section "Installed".
#pragma once
#include <cstdint>

uint16_t ReadSettingsInt(const char* key, uint16_t fallback);
void WriteSettingsInt(const char* key, uint16_t value);
void ReadGroupAndFolder();   // "Group" into groupName, "Folder" into folder
void WriteGroupAndFolder();  // groupName as "Group", folder as "Folder"
void DeleteOfferPerchVersion();
// A text of section "Installed", `fallback` when missing; a null text deletes the key.
void ReadSettingsText(const char* key, char* buffer, uint32_t size, const char* fallback = "");
void WriteSettingsText(const char* key, const char* text);

// The folders that an installation made itself, kept from the moment they are made until the
// uninstall that removes them: the highest created folder of the installation folder's chain,
// and the group folder.
extern const char* const CreatedFolderKey;  // "CreatedFolder"
extern const char* const CreatedGroupKey;   // "CreatedGroup"

// The created-folder record also names the installation folder it was written for ("CreatedFor"),
// so that a record left by another installation, a stale one or one edited by hand is never used.
// At install start: records the folders this run made; when it made none, keeps a record written
// for this very folder and drops any other.
void RecordCreatedFolders();
// The length of the recorded highest created folder when the record was written for setup.folder
// and names a folder at or above it beyond the root; 0 otherwise.
uint16_t ReadCreatedFolderLength();
void DeleteCreatedFolderRecord();
