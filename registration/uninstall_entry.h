// The uninstall entry under HKEY_LOCAL_MACHINE that lists the publication among installed programs.
#pragma once

void WriteUninstallEntry();
void DeleteUninstallEntry();
