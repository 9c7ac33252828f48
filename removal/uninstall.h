// The uninstall sequence, run to completion inside the Uninstall command.
#pragma once

void RunUninstall();
// Steps of the sequence, in the order RunUninstall takes them.
void RemoveProgramGroup();    // the group's links that point at installed files, then the folder
// Every KindFile and KindLaterFile row but the uninstaller copy, and the files ending in "_" that
// a stopped run left; sizes off bytesDone. False when a file stayed (each is reported).
bool RemoveInstalledFiles();
int FindLastSeparator(int count, const char* text, char character);
void RemoveFolderChain();
// Deletes the copies that earlier uninstalls moved into the temporary folder and left there.
void DeleteLeftoverCopies();
