// A small stand-in for the main dialog, built in code, for the hint, field and drag-and-drop
// tests: the same control ids, classes and order, and a procedure that dispatches like the real one.
#pragma once
#include <windows.h>

#include <string>

#include "app/colour_scheme.h"
#include "app/hints.h"
#include "app/main_dialog.h"
#include "app/text_fields.h"
#include "install/setup_state.h"
#include "resources/resource_ids.h"

namespace field_dialog {

inline HWND AddControl(HWND dialog, const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
                       int h) {
  HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), 0);
  return control;
}

inline void AddControls(HWND dialog) {
  AddControl(dialog, "STATIC", "Start &Menu:", SS_LEFT | WS_GROUP, IDC_GROUP_LABEL, 12, 100, 100, 14);
  AddControl(dialog, "COMBOBOX", "", CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_SORT | WS_VSCROLL | WS_TABSTOP, IDC_GROUP,
             115, 97, 190, 140);
  AddControl(dialog, "BUTTON", "&Suggested", BS_PUSHBUTTON | WS_TABSTOP, IDC_SUGGESTED, 340, 97, 70, 20);
  AddControl(dialog, "STATIC", "Installed &Folder:", SS_LEFT | WS_GROUP, IDC_FOLDER_LABEL, 12, 137, 100, 14);
  AddControl(dialog, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, IDC_FOLDER, 115, 135, 190, 20);
  AddControl(dialog, "BUTTON", "&Browse...", BS_PUSHBUTTON | WS_TABSTOP, IDC_BROWSE, 340, 135, 70, 20);
  AddControl(dialog, "STATIC", "", SS_BLACKRECT, IDC_UNNAMED, 6, 162, 410, 3);
  AddControl(dialog, "BUTTON", "&Install", BS_DEFPUSHBUTTON | WS_TABSTOP, IDC_INSTALL, 340, 185, 70, 22);
  AddControl(dialog, "BUTTON", "E&xit", BS_PUSHBUTTON | WS_TABSTOP, IDC_EXIT_OPEN, 340, 218, 70, 22);
  AddControl(dialog, "BUTTON", "&Uninstall", BS_PUSHBUTTON | WS_TABSTOP, IDC_UNINSTALL, 12, 185, 70, 22);
  AddControl(dialog, "EDIT", "", WS_BORDER | ES_MULTILINE | ES_READONLY, IDC_HINT_PANEL, 115, 180, 190, 62);
  AddControl(dialog, "STATIC", "", SS_LEFT | WS_GROUP, IDC_STATUS, 65, 255, 260, 14);
  AddControl(dialog, "BUTTON", "", BS_OWNERDRAW | WS_DISABLED, IDC_METER, 12, 272, 400, 8);
}

inline INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDialogWindow(dialog);  // as the real initialisation does: control texts go through it
      AddControls(dialog);
      BuildColourScheme();
      SetUpFields(dialog);
      SetDlgItemTextA(dialog, IDC_GROUP, setup.groupName);
      SetDlgItemTextA(dialog, IDC_FOLDER, setup.folder);
      UpdateSuggestedButton();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_GROUP || LOWORD(wParam) == IDC_FOLDER) {
        OnFieldCommand(dialog, wParam, lParam);
      } else if (LOWORD(wParam) == IDC_HINT_PANEL) {
        OnHintPanelCommand(wParam, lParam);
      } else {
        ShowHint(nullptr);
      }
      return TRUE;
    case WM_PAINT: PostMessageA(dialog, RedrawFrameMessage, 0, 0); return FALSE;
    case WM_SYSCOLORCHANGE: return OnSysColourChange(dialog, wParam, lParam);
    case WM_ACTIVATEAPP: return OnActivateApp(dialog, wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(dialog, wParam, lParam);
    case WM_TIMER: return OnHintTimer(dialog, wParam, lParam);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return OnControlColour(dialog, wParam, lParam);
    case RedrawFrameMessage: return OnRedrawFrame(dialog, wParam, lParam);
    case WM_LBUTTONDOWN: return OnLabelClick(dialog, wParam, lParam);
    default: return FALSE;
  }
}

// Dispatches everything queued for this thread, as the dialog's modal loop would.
inline void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(DialogWindow(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

// Creates, shows and activates the stand-in dialog with the given field texts.
inline HWND Open(const char* group = "Statorix", const char* folder = "C:\\Program Files\\xan") {
  ResetSetupState();
  CopyText(setup.groupName, group);
  CopyText(setup.folder, folder);
  hint = HintState{};
  systemWaitCursor = LoadCursorA(nullptr, IDC_WAIT);  // as the program's start-up does
  struct {
    DLGTEMPLATE header;
    WORD menu, cls, title;
  } blank{};
  blank.header.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
  blank.header.x = 10;
  blank.header.y = 10;
  blank.header.cx = 290;
  blank.header.cy = 200;
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &blank.header, nullptr, Procedure, 0);
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  UpdateWindow(dialog);
  Pump();
  return dialog;
}

inline void Close(HWND dialog) {
  KillTimer(dialog, HintTimerId);
  DestroyWindow(dialog);
  FreeColourScheme();
  Pump();
  SetDialogWindow(nullptr);
}

inline HWND Item(int id) { return GetDlgItem(DialogWindow(), id); }
inline HWND GroupEdit() { return GetWindow(Item(IDC_GROUP), GW_CHILD); }

inline POINT CentreOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

inline std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace field_dialog
