// The uninstall sequence, run to completion inside the Uninstall command.
#pragma once

void RunUninstall();
// Steps of the sequence, in the order RunUninstall takes them.
void RemoveProgramGroup();    // the group's links that point at installed files, then the folder
void RemoveInstalledFiles();  // every KindFile and KindLaterFile row, sizes off bytesDone
int FindLastSeparator(int count, const char* text, char character);
void RemoveFolderChain();
