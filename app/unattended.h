// Runs without a person at the screen: the command line applied to the settings the dialog starts
// from, the silent installation or uninstallation, and the log that /LOG= names.
#pragma once
#include <cstdint>
#include "app/command_line.h"
#include "install/setup_state.h"

extern CommandLine commandLine;

// The scope /AllUsers or /CurrentUser asks for; KindScopeUndecided leaves it to the rights and
// the settings.
InstallScope RequestedScope();
// Puts the folder and the group of the command line over those of the settings file.
void ApplyArguments();
// Installs (the full installer) or uninstalls (the uninstaller copy) with no window that anyone
// sees and no message box; returns the exit code.
uint32_t RunSilently();
// The message box that names an argument not understood and lists the ones there are.
void ShowRefusedArgument();
// Appends "text" or "text: detail" as one line to the log, when the command line names one.
void WriteLogLine(const char* text, const char* detail);
