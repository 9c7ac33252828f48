// The two text fields (group combo box 999, folder edit box 1000): limits, buffers mirrored in
// SetupState, select-all on focus, Down opens the list, label clicks, drags out of a selection.
#pragma once
#include <windows.h>
#include <cstdint>

struct FieldDescriptor {
  int controlId;
  uint16_t maximumLength;
  uint8_t kind;  // 1: combo box with a child edit box; 0: plain edit box
  char* buffer;
  const char* hint;
};
const FieldDescriptor* FieldFor(int controlId);  // null for any other control

void SetUpFields(HWND dialog);
void OnFieldCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
// Suggested is enabled with the other inputs, and then only while the group differs from its default.
void UpdateSuggestedButton(bool inputsEnabled = true);
// Gives a control of the dialog the focus the way the dialog manager does (WM_NEXTDLGCTL).
void FocusDialogControl(HWND control);
INT_PTR OnLabelClick(HWND dialog, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FieldEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
