// The one dialog (template 102): its procedure, initialisation, control state and own commands.
#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateControlState();
void StopInstallation();
void ReleaseDialogResources();  // fonts and icon, after the dialog has ended

extern HWND dialogWindow;
