// The uninstall sequence, run to completion inside the Uninstall command.
#pragma once

void RunUninstall();
int FindLastSeparator(int count, const char* text, char character);
void RemoveFolderChain();
