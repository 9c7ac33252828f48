// The uninstall entry that lists the publication among installed programs: under
// HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for an installation for the current user alone.
#pragma once

#include <cstdint>

// The key of every program's uninstall entry: "Software\Microsoft\Windows\CurrentVersion\Uninstall".
extern const char* const UninstallKeysPath;

// recordBytes: the length of the InstallRecord that follows the entry, counted in its size.
void WriteUninstallEntry(uint32_t recordBytes);
// Only an entry whose InstallLocation is this installation's folder.
void DeleteUninstallEntry();
