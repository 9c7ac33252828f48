// OLE text drag and drop into and out of the two text fields: four hand-written COM objects,
// set-up, tear-down and the drop-effect rule.
#pragma once
#include <windows.h>
#include <cstddef>

void SetUpDragDrop(HWND dialog);
void TearDownDragDrop();
bool StartTextDrag(HWND editBox, DWORD selection);
