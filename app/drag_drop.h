// OLE text drag and drop into and out of the two text fields: four hand-written COM objects,
// set-up, tear-down and the drop-effect rule.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <cstddef>
#include <cstdint>

constexpr size_t DropBufferSize = 261;  // 260 bytes of text and a NUL

struct DragState {
  bool available;          // OLE initialised by set-up
  HRESULT registration;    // RegisterDragDrop's result, for tear-down
  HWND registeredWindow;   // the dialog registered as drop target
  HWND sourceEdit;         // the edit box being dragged from, only while a drag of ours runs
  DWORD sourceSelection;   // EM_GETSEL before the press: start low word, end high word
  HWND dropTarget;         // the control under the pointer, as ComputeDropEffect found it
  uint16_t dropTargetId;
  char dropBuffer[DropBufferSize];
};
extern DragState drag;

void SetUpDragDrop(HWND dialog);
void TearDownDragDrop();
bool StartTextDrag(HWND editBox, DWORD selection);

DWORD ComputeDropEffect(DWORD keyState, POINTL point);

// The static objects as the interfaces OLE sees; each call adds no reference.
IDataObject* TextDataObject();
IDropSource* TextDropSource();
IDropTarget* FieldDropTarget();
// A new enumerator of the one format at `position` (E_OUTOFMEMORY and null when none can be made).
HRESULT CreateFormatEnumerator(uint16_t position, IEnumFORMATETC** result);
