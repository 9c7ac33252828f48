// The one dialog (template 102): its procedure, initialisation, control state and own commands,
// and the few process-wide values that start-up fills for it (module, cursors, title).
#pragma once
#include <windows.h>
#include <cstdint>
#include "platform/platform.h"

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateControlState();
// The one place where what the engine reports becomes controls and texts (and log lines); a
// silent run has it too, with no dialog to show them in.
void OnSetupChange(SetupChange change);
// Group, folder and installation state as a run starts: the settings, the command line over
// them, and an installation beside the program over both.
void ReadStartState();
// The fonts the dialog created. The icon is not released: LoadIconA's icons are shared, and
// DestroyIcon must not be called on a shared icon.
void ReleaseDialogFonts();

// The height of an edit field for a font of fieldHeight pixels, given the system font's height.
uint16_t EditHeightFor(uint16_t fieldHeight, uint16_t systemHeight);

extern const char* const SetupTitle;  // "Setup - Quorvel": window title and instance mutex name
extern HINSTANCE programInstance;
extern HCURSOR systemWaitCursor;  // loaded at start-up; shown while an installation runs
