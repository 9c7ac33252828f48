// The settings file "kavri.ini": group, folder and all-users choice in section "Installed".
#pragma once
#include <cstdint>

uint16_t ReadSettingsInt(const char* key, uint16_t fallback);
void WriteSettingsInt(const char* key, uint16_t value);
void ReadGroupAndFolder();   // "Group" into groupName, "Folder" into folder
void WriteGroupAndFolder();  // groupName as "Group", folder as "Folder"
void DeleteOfferPerchVersion();
