// The hint panel (control 1021) and the focus frame: ShowHint, the sentences, hover, timer 3,
// message 1281, the colour requests, activation and system colour changes of the main dialog.
// The frame is drawn straight onto the dialog, so every paint of the dialog is followed by 1281.
#include "app/hints.h"

#include "app/colour_scheme.h"
#include "app/main_dialog.h"
#include "app/text_fields.h"
#include "install/setup_state.h"
#include "resources/resource_ids.h"

HintState hint;

namespace {

constexpr UINT FocusFrameMs = 400;
constexpr UINT HoverFrameMs = 4000;
constexpr int FrameLines = 3;
constexpr int LabelOffset = 5;
constexpr int FirstSurfaceId = IDC_STATUS;  // this id and above count as the dialog's surface

HWND FocusedDescendant(HWND dialog) {
  HWND focused = GetFocus();
  return (focused && IsChild(dialog, focused)) ? focused : nullptr;
}

// Screen rectangle of the control a hint describes, united with its label for the two fields.
const char* DescribeControl(HWND described, RECT* screenRect) {
  const int id = GetDlgCtrlID(described);
  GetWindowRect(described, screenRect);
  if (const FieldDescriptor* field = FieldFor(id)) {
    RECT labelRect;
    HWND label = GetDlgItem(DialogWindow(), id + LabelOffset);
    if (label && GetWindowRect(label, &labelRect)) UnionRect(screenRect, screenRect, &labelRect);
    return field->hint;
  }
  return HintTextFor(id);
}

// Not inlined: link-time optimisation would otherwise copy it into each of its four callers.
__attribute__((noinline)) HWND HintPanel(HWND dialog) { return GetDlgItem(dialog, IDC_HINT_PANEL); }

void EraseFrame(HWND dialog) {
  for (const RECT& frame : hint.frames) InvalidateRect(dialog, &frame, TRUE);
  hint.hintTarget = nullptr;
  KillTimer(dialog, HintTimerId);
}

}  // namespace

// Not inlined: link-time optimisation would otherwise copy it into each of its three callers.
__attribute__((noinline)) HWND FirstChildOr(HWND window) {
  HWND child = GetWindow(window, GW_CHILD);
  return child ? child : window;
}

const char* HintTextFor(int controlId) {
  switch (controlId) {
    case IDC_INSTALL:
      return "Install will copy this publication to your system, after above information is entered";
    case IDC_EXIT_OPEN:
      return setup.installed ? "Open proceeds to use the publication" : "Exit leaves this installer now";
    case IDC_BROWSE: return "Explore and choose a destination from the existing folders";
    case IDC_SUGGESTED: return "Accept the suggested default or choose another Windows Start Group name";
    case IDC_UNINSTALL: return "Uninstall removes the publication from your system";
    default: break;
  }
  if (const FieldDescriptor* field = FieldFor(controlId)) return field->hint;
  return "";
}

void ShowHint(HWND target) {
  HWND dialog = DialogWindow();
  HWND shown = hint.hintTarget;  // the control whose frame is drawn, if any
  HWND focused = FocusedDescendant(dialog);
  if (target == HintTimerMarker) {
    target = (focused == shown) ? nullptr : focused;
  } else if (target && target == dialog) {
    target = shown ? focused : nullptr;
  }
  if (target) target = FirstChildOr(target);
  if (target == shown) return;
  if (shown) EraseFrame(dialog);
  if (!target) return;

  HWND parent = GetParent(target);
  HWND described = (parent && parent != dialog) ? parent : target;
  const char* text = DescribeControl(described, &hint.frames[ControlFrame]);
  SetControlText(IDC_HINT_PANEL, text);
  GetWindowRect(HintPanel(dialog), &hint.frames[PanelFrame]);

  HDC context = GetDC(dialog);
  for (RECT& frame : hint.frames) {
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&frame), 2);
    for (int line = 0; line < FrameLines; ++line) {
      // Grown a pixel on every side by hand: InflateRect would be one more import.
      --frame.left;
      --frame.top;
      ++frame.right;
      ++frame.bottom;
      FrameRect(context, &frame, colours.frameBrush);
    }
  }
  ReleaseDC(dialog, context);
  hint.hintTarget = target;
  hint.lastHinted = target;

  if (!SetTimer(dialog, HintTimerId, target == focused ? FocusFrameMs : HoverFrameMs, nullptr))
    ShowHint(nullptr);
}

INT_PTR OnSetCursor(HWND dialog, WPARAM wParam, LPARAM) {
  if (GetActiveWindow() == dialog) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (window == dialog) {
      POINT point;
      GetCursorPos(&point);
      MapWindowPoints(nullptr, dialog, &point, 1);  // as ShowHint maps its rectangles
      HWND child = ChildWindowFromPoint(dialog, point);
      if (child && child != dialog) {
        int id = GetDlgCtrlID(child);
        if (id == IDC_GROUP_LABEL || id == IDC_FOLDER_LABEL) {
          id -= LabelOffset;
          child = GetDlgItem(dialog, id);
        }
        // Separators and captions have id -1, read as 65535: surface too.
        if (static_cast<uint16_t>(id) < FirstSurfaceId && child && IsWindowVisible(child)) window = child;
      }
    }
    if (window != HintPanel(dialog) && FirstChildOr(window) != hint.lastHinted)
      ShowHint(window);
  }
  if (setup.installing) {
    SetCursor(systemWaitCursor);
    // The control asking for its cursor stops only when the dialog's result says handled.
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    return TRUE;
  }
  return FALSE;
}

INT_PTR OnHintTimer(HWND, WPARAM wParam, LPARAM) {
  if (wParam != HintTimerId) return FALSE;
  ShowHint(HintTimerMarker);
  return TRUE;
}

INT_PTR OnRedrawFrame(HWND, WPARAM, LPARAM) {
  if (hint.hintTarget) {
    HWND target = hint.hintTarget;
    hint.hintTarget = nullptr;  // painting has already wiped the old frame: draw, do not erase
    ShowHint(target);
  }
  return TRUE;
}

INT_PTR OnControlColour(HWND dialog, WPARAM wParam, LPARAM lParam) {
  HDC context = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control == HintPanel(dialog)) {
    SetTextColor(context, colours.hintText);
    SetBkColor(context, colours.hintBackground);
    return reinterpret_cast<INT_PTR>(colours.hintBrush);
  }
  if (control == GetDlgItem(dialog, IDC_STATUS)) {
    LRESULT brush = SendMessageA(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog));
    SetTextColor(context, colours.statusText);
    return static_cast<INT_PTR>(brush);
  }
  // A control that takes the focus without notifying (a push button reached by Tab) repaints
  // and asks for its colours: that is where its hint is shown.
  if (control && GetFocus() == control && control != hint.trackedFocus) {
    hint.trackedFocus = control;
    ShowHint(control);
  }
  return FALSE;
}

INT_PTR OnActivateApp(HWND dialog, WPARAM wParam, LPARAM) {
  if (wParam == 1) {
    InvalidateRect(GetDlgItem(dialog, IDC_METER), nullptr, TRUE);
  } else {
    hint.trackedFocus = nullptr;
    ShowHint(nullptr);
  }
  return TRUE;
}

INT_PTR OnSysColourChange(HWND dialog, WPARAM, LPARAM) {
  FreeColourScheme();
  BuildColourScheme();
  InvalidateRect(HintPanel(dialog), nullptr, TRUE);
  return TRUE;
}

void OnHintPanelCommand(WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) != EN_SETFOCUS) return;
  // The panel is only a pointer back to the control it describes. With no such control left
  // that can take the focus, the focus moves on in tab order rather than vanishing.
  HWND back = hint.lastHinted;
  if (back && IsWindow(back) && IsWindowEnabled(back) && IsWindowVisible(back))
    FocusDialogControl(back);
  else
    SendMessageA(DialogWindow(), WM_NEXTDLGCTL, 0, 0);
}
