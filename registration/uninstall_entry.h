// The uninstall entry under HKEY_LOCAL_MACHINE that lists the publication among installed programs.
#pragma once

#include <cstdint>

// recordBytes: the length of the InstallRecord that follows the entry, counted in its size.
void WriteUninstallEntry(uint32_t recordBytes);
// Only an entry whose InstallLocation is this installation's folder.
void DeleteUninstallEntry();
