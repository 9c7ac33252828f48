// Steps that several end-to-end suites share: the payload's expected files, a complete
// installation into a folder, and the checks of what a complete installation leaves behind.
#pragma once
#include <cstdint>
#include <string>

#include "tests/e2e/driver.h"
#include "tests/e2e/machine_state.h"

// What this build's installer carries, read from its file and from the generated constants.
struct PayloadFacts {
  std::string installer;   // the installer's bytes
  uint32_t copySize = 0;   // position of resource 2000's data: the uninstaller copy's length
  uint32_t kavri0Data = 0; // position of resource 2001's data (Kavri0.DAT)
};
const PayloadFacts& Payload();

// The installer's first `length` bytes, its last section shortened to the bytes it still has: a
// file whose last section runs past its end does not start at all.
std::string CutInstaller(const std::string& installer, uint32_t length);

// The folder with a trailing backslash, then the name.
std::string InFolder(const std::string& folder, const char* name);
// The group in the all-users Programs folder, or in the user's own.
std::string ProgramGroupFolder(const std::string& group = "Statorix", bool forOneUser = false);
// Where an installation for the current user alone goes by default, and its settings file.
std::string OneUserFolder();
std::string OneUserSettingsFile();

// Types the folder (unless it is the default), installs and waits for completion. Leaves the
// installer running with button 2 reading "&Open". Records a test failure when it does not complete.
bool InstallInto(const SetupProcess& setup, const std::string& folder);

// The four files with their sizes and CRC-32s, the marker, no temporary "_" file left.
void ExpectInstalledFiles(const std::string& folder);
// The uninstall key, kavri.ini [Installed] and the Start-menu shortcut in `group` ("": none):
// machine-wide, or in the current user's own places.
void ExpectRegistration(const std::string& folder, const std::string& group = "Statorix", bool forOneUser = false);
// Dialog state after an installation completed in this run.
void ExpectCompletedDialog(const SetupProcess& setup);
// Dialog state after an installation was stopped before completing.
void ExpectStoppedDialog(const SetupProcess& setup);
// Installs until a message box comes, checks its text and caption and answers OK.
void ExpectInstallMessage(const SetupProcess& setup, const std::string& text, const std::string& caption);

// Button 2 is Exit: press it and expect the process to end with exit code 0.
void ExitSetup(SetupProcess& setup);
