// Real input for the built installer: a fixture that starts it, moves the pointer, presses keys and
// buttons with SendInput (the same path as the user's hardware), and reads the focus frame back
// from the screen's pixels. Everything waits for a condition with a bound, never for a fixed time.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/colour_scheme.h"
#include "resources/resource_ids.h"
#include "tests/wine/dialog_driver.h"

namespace input_driver {

using dialog_driver::WaitUntil;

inline std::string TextOf(HWND window) {
  char text[512] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, ShortWaitMs,
                      nullptr);
  return text;
}

inline INPUT MouseInput(DWORD flags, LONG x = 0, LONG y = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    input.mi.dx = x * 65536 / GetSystemMetrics(SM_CXSCREEN) + 1;
    input.mi.dy = y * 65536 / GetSystemMetrics(SM_CYSCREEN) + 1;
  }
  return input;
}
inline void SendMouse(DWORD flags, LONG x = 0, LONG y = 0) {
  INPUT input = MouseInput(flags, x, y);
  SendInput(1, &input, sizeof input);
}

inline void MovePointer(POINT point) { SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, point.x, point.y); }
inline void PressLeft() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
inline void ReleaseLeft() { SendMouse(MOUSEEVENTF_LEFTUP); }

inline void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}
inline void TapKey(WORD key) {
  SendKey(key, false);
  SendKey(key, true);
}

inline RECT ScreenRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}
inline POINT CentreOf(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

inline COLORREF ScreenPixel(POINT point) {
  HDC screen = GetDC(nullptr);
  const COLORREF pixel = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return pixel;
}

// The twelve points that the three nested frame lines cover at the middle of each side of a
// screen rectangle: left, right, top and bottom, one to three pixels outside it.
struct FramePoints {
  POINT points[12];
};
inline FramePoints FramePointsAround(const RECT& rect) {
  FramePoints frame{};
  const POINT centre = CentreOf(rect);
  for (int line = 1; line <= 3; ++line) {
    POINT* side = &frame.points[(line - 1) * 4];
    side[0] = POINT{rect.left - line, centre.y};
    side[1] = POINT{rect.right - 1 + line, centre.y};
    side[2] = POINT{centre.x, rect.top - line};
    side[3] = POINT{centre.x, rect.bottom - 1 + line};
  }
  return frame;
}

struct FramePixels {
  COLORREF pixels[12];
  bool operator==(const FramePixels& other) const {
    for (int i = 0; i < 12; ++i)
      if (pixels[i] != other.pixels[i]) return false;
    return true;
  }
};
inline FramePixels ReadFramePixels(const RECT& rect) {
  const FramePoints frame = FramePointsAround(rect);
  FramePixels read{};
  HDC screen = GetDC(nullptr);
  for (int i = 0; i < 12; ++i) read.pixels[i] = GetPixel(screen, frame.points[i].x, frame.points[i].y);
  ReleaseDC(nullptr, screen);
  return read;
}

// The frame colour the installer computes from the same system colours on the same screen.
inline COLORREF ExpectedFrameColour() {
  const ColourScheme saved = colours;
  BuildColourScheme();
  LOGBRUSH brush{};
  GetObjectA(colours.frameBrush, sizeof brush, &brush);
  FreeColourScheme();
  colours = saved;
  return brush.lbColor;
}

class InstallerInput : public ::testing::Test {
 protected:
  void SetUp() override {
    frameColour = ExpectedFrameColour();
    ParkPointer();
    ASSERT_TRUE(dialog_driver::PlaceInstaller());
    ASSERT_TRUE(setup.Start());
    dialog = setup.dialog;
    WaitForInputIdle(setup.process, 5000);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog && FocusOfDialog() != nullptr; }));
    // The first focus frame goes after 400 ms; pixels read before that would count it as background.
    ASSERT_TRUE(WaitUntil([&] { return Panel() != "" && !IsFramed(ScreenRectOf(Item(IDC_HINT_PANEL))); }));
  }
  void TearDown() override {
    ReleaseLeft();
    SendKey(VK_CONTROL, true);
    if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
    if (setup.process) setup.WaitForExit();
  }

  HWND Item(int id) const { return GetDlgItem(dialog, id); }
  HWND GroupEdit() const { return GetWindow(Item(IDC_GROUP), GW_CHILD); }
  // Asked of the installer, so the answer comes after the handler that set the text has finished.
  std::string Panel() const { return TextOf(Item(IDC_HINT_PANEL)); }

  HWND FocusOfDialog() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(setup.threadId, &info);
    return info.hwndFocus;
  }

  HWND Capture() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(setup.threadId, &info);
    return info.hwndCapture;
  }

  // The pointer where no control is: above the dialog's caption, so no hover hint starts.
  void ParkPointer() {
    RECT rect{0, 0, 0, 0};
    if (dialog) rect = ScreenRectOf(dialog);
    MovePointer(POINT{rect.left > 8 ? rect.left - 4 : 2, rect.top > 8 ? rect.top - 4 : 2});
  }
  void PointAt(HWND window) { MovePointer(CentreOf(ScreenRectOf(window))); }

  // Clicks a field's label, which gives the field the focus; the field then selects all its text.
  // The press and the release carry the point, so that a late motion event of an earlier move
  // cannot put them elsewhere.
  void FocusField(int labelId, HWND editBox) {
    const POINT label = CentreOf(ScreenRectOf(Item(labelId)));
    MovePointer(label);
    SendMouse(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, label.x, label.y);
    SendMouse(MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, label.x, label.y);
    ASSERT_TRUE(WaitUntil([&] { return FocusOfDialog() == editBox; }));
    ASSERT_TRUE(WaitForPostedMessages(editBox));
    ASSERT_EQ(Selection(editBox), static_cast<DWORD>(MAKELONG(0, TextOf(editBox).size())));
  }

  // Start in the low word, end in the high word; no pointers cross the process boundary.
  static DWORD Selection(HWND editBox) { return static_cast<DWORD>(SendMessageA(editBox, EM_GETSEL, 0, 0)); }

  bool IsFramed(const RECT& rect) const {
    const FramePixels read = ReadFramePixels(rect);
    for (COLORREF pixel : read.pixels)
      if (pixel != frameColour) return false;
    return true;
  }

  dialog_driver::RunningSetup setup;
  HWND dialog = nullptr;
  COLORREF frameColour = CLR_INVALID;
};

}  // namespace input_driver
