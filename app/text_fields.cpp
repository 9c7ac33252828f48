// The two text fields, group combo box 999 and folder edit box 1000, driven by one descriptor
// table: limits, buffers in SetupState kept equal to the field texts, select-all on focus, Down
// opening the group list, label clicks, and drags started from inside a selection.
#include "app/text_fields.h"

#include "app/drag_drop.h"
#include "app/hints.h"
#include "app/main_dialog.h"
#include "install/setup_state.h"
#include "resources/resource_ids.h"

#include <cstring>

namespace {

constexpr uint8_t KindEdit = 0;
constexpr uint8_t KindCombo = 1;
constexpr int LabelOffset = 5;

const FieldDescriptor fieldTable[] = {
    {IDC_GROUP, GroupLimit, KindCombo, setup.groupName,
     "Accept the suggested default or choose another Windows Start Group name"},
    {IDC_FOLDER, FolderLimit, KindEdit, setup.folder,
     "Accept the default or choose an alternative local machine folder"},
};

// The system edit procedure, the same for both edit boxes.
WNDPROC previousEditProc;

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) HWND EditBoxOf(HWND control, uint8_t kind) {
  return kind == KindCombo ? GetWindow(control, GW_CHILD) : control;
}

LRESULT CallEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(previousEditProc, window, message, wParam, lParam);
}

bool OpenGroupList(HWND editBox) {
  HWND parent = GetParent(editBox);
  if (GetDlgCtrlID(parent) != IDC_GROUP || SendMessageA(parent, CB_GETDROPPEDSTATE, 0, 0) != 0) return false;
  SendMessageA(parent, CB_SHOWDROPDOWN, 1, 0);
  return true;
}

// A press inside the selection drags it; anywhere else it is an ordinary click.
void PressButton(HWND window, WPARAM wParam, LPARAM lParam) {
  const DWORD before = static_cast<DWORD>(CallEdit(window, EM_GETSEL, 0, 0));
  CallEdit(window, WM_LBUTTONDOWN, wParam, lParam);
  const DWORD after = static_cast<DWORD>(CallEdit(window, EM_GETSEL, 0, 0));
  const WORD click = HIWORD(after);
  if (click < LOWORD(before) || click >= HIWORD(before)) return;
  CallEdit(window, EM_SETSEL, LOWORD(before), HIWORD(before));
  CallEdit(window, WM_LBUTTONUP, wParam, lParam);
  if (!StartTextDrag(window, before)) CallEdit(window, EM_SETSEL, LOWORD(after), HIWORD(after));
}

void TrackFieldFocus(HWND control) {
  HWND editBox = FirstChildOr(control);
  if (editBox != hint.trackedFocus) {
    hint.trackedFocus = editBox;
    ShowHint(control);
  }
}

}  // namespace

const FieldDescriptor* FieldFor(int controlId) {
  for (const FieldDescriptor& field : fieldTable)
    if (field.controlId == controlId) return &field;
  return nullptr;
}

void SetUpFields(HWND dialog) {
  for (const FieldDescriptor& field : fieldTable) {
    HWND control = GetDlgItem(dialog, field.controlId);
    if (!control) continue;
    SendMessageA(control, field.kind == KindCombo ? CB_LIMITTEXT : EM_LIMITTEXT, field.maximumLength, 0);
    HWND editBox = EditBoxOf(control, field.kind);
    if (!editBox) continue;
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(editBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldEditProc)));
    // A second set-up must not record our own procedure as the one to call on.
    if (previous && previous != FieldEditProc) previousEditProc = previous;
  }
}

void OnFieldCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
  const FieldDescriptor* field = FieldFor(LOWORD(wParam));
  HWND control = reinterpret_cast<HWND>(lParam);
  const WORD code = HIWORD(wParam);
  if (!field) return;
  switch (code) {
    case CBN_SELCHANGE:
      // The edit box shows the chosen entry only after this notification: read it later.
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(field->controlId, CBN_EDITCHANGE), lParam);
      return;
    case EN_SETFOCUS:
    case CBN_SETFOCUS:
      if (code == EN_SETFOCUS) PostMessageA(control, EM_SETSEL, 0, -1);
      else PostMessageA(control, CB_SETEDITSEL, 0, static_cast<LPARAM>(0xFFFF0000u));
      TrackFieldFocus(control);
      break;
    case EN_KILLFOCUS:
    case CBN_KILLFOCUS:
      if (HWND editBox = EditBoxOf(control, field->kind)) SendMessageA(editBox, WM_LBUTTONUP, 0, -1);
      ShowHint(nullptr);
      break;
    default:
      ShowHint(nullptr);
      break;
  }
  GetWindowTextA(control, field->buffer, field->maximumLength + 1);
  if (field->controlId == IDC_GROUP) UpdateSuggestedButton();  // Suggested follows the group's text
}

void UpdateSuggestedButton(bool inputsEnabled) {
  EnableControl(IDC_SUGGESTED, inputsEnabled && std::strcmp(setup.groupName, DefaultGroupName) != 0);
}

void FocusDialogControl(HWND control) {
  SendMessageA(DialogWindow(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

INT_PTR OnLabelClick(HWND dialog, WPARAM, LPARAM lParam) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  HWND child = ChildWindowFromPoint(dialog, point);
  if (!child || child == dialog) return TRUE;
  const int fieldId = GetDlgCtrlID(child) - LabelOffset;
  if (fieldId != IDC_GROUP && fieldId != IDC_FOLDER) return TRUE;
  // A disabled label passes clicks to the dialog too; its disabled field must not take the focus.
  if (ControlIsEnabled(fieldId)) FocusControl(fieldId);
  return TRUE;
}

LRESULT CALLBACK FieldEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && wParam == VK_DOWN) {
    if (OpenGroupList(window)) return 0;
  } else if (message == WM_LBUTTONDOWN && !(wParam & MK_SHIFT)) {
    PressButton(window, wParam, lParam);
    return 0;
  }
  return CallEdit(window, message, wParam, lParam);
}
