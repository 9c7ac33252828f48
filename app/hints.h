// The hint panel (control 1021) and the focus frame: one sentence and a temporary yellow frame
// for the control under the pointer or in focus. Owns hover, timer 3, message 1281, the colour
// requests and the activation messages of the dialog.
#pragma once
#include <windows.h>

constexpr UINT RedrawFrameMessage = WM_USER + 257;  // 1281, posted on every WM_PAINT
constexpr UINT_PTR HintTimerId = 3;
#define HintTimerMarker (reinterpret_cast<HWND>(-1))

enum HintFrame { ControlFrame, PanelFrame };  // the control's frame and the hint panel's
struct HintState {
  HWND hintTarget;
  HWND lastHinted;
  HWND trackedFocus;
  RECT frames[2];  // drawn and erased alike
};
extern HintState hint;

void ShowHint(HWND target);
// The window's first child (a combo box's edit box), or the window itself when it has none.
HWND FirstChildOr(HWND window);
const char* HintTextFor(int controlId);

INT_PTR OnSetCursor(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR OnHintTimer(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR OnRedrawFrame(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR OnControlColour(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR OnActivateApp(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR OnSysColourChange(HWND dialog, WPARAM wParam, LPARAM lParam);
void OnHintPanelCommand(WPARAM wParam, LPARAM lParam);
