// The installation's state as the folder keeps it: the begun record, written before anything of an
// installation or an uninstall is changed, and the completion marker (InstallRecord), written
// last. A start reads the state from them alone, so that whatever stopped the last run, the next
// one shows what is true and can finish it.
#pragma once
#include <cstdint>

// installed and openAvailable from the InstallRecord; partiallyInstalled from either record.
void ReadInstallationState();
// Whether the folder of `directory` (its first `length` bytes, with the final separator) holds
// either record: the uninstaller copy then works on the installation it lives in.
bool DirectoryHoldsInstallation(const char* directory, uint16_t length);
// Writes the begun record, then takes the completion marker away. False (nothing taken away)
// when the record could not be written; workPath then names it.
bool MarkInstallationBegun();
// Writes the completion marker's text; false when it could not be written whole (workPath names it,
// *created tells whether it was the creation that failed).
bool WriteInstallRecord(const char* text, uint32_t length, bool* created);
void DeleteFolderRecord(const char* name);
