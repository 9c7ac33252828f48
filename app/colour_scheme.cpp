// The process-wide ColourScheme: its colours read from the system and its two brushes, created
// once per scheme and deleted before a rebuild, so colour requests never create GDI objects.
#include "app/colour_scheme.h"

ColourScheme colours;

namespace {
HDC screenContext;  // valid only while BuildColourScheme runs

Colour NearestOnScreen(Colour colour) { return GetNearestColor(screenContext, colour) & 0x00FFFFFF; }
}  // namespace

void BuildColourScheme() {
  screenContext = GetDC(nullptr);
  SchemeInputs in{};
  in.window = GetSysColor(COLOR_WINDOW);
  in.windowText = GetSysColor(COLOR_WINDOWTEXT);
  in.face = GetSysColor(COLOR_BTNFACE);
  in.buttonText = GetSysColor(COLOR_BTNTEXT);
  in.infoBackground = GetSysColor(COLOR_INFOBK);
  in.infoText = GetSysColor(COLOR_INFOTEXT);
  const SchemeColours chosen = ChooseSchemeColours(in, NearestOnScreen);
  colours.hintBackground = chosen.hintBackground;
  colours.hintText = chosen.hintText;
  colours.statusText = chosen.statusText;
  colours.frameBrush = CreateSolidBrush(NearestOnScreen(chosen.frame));
  ReleaseDC(nullptr, screenContext);
  screenContext = nullptr;
  colours.hintBrush = CreateSolidBrush(colours.hintBackground);
}

void FreeColourScheme() {
  if (colours.hintBrush) DeleteObject(colours.hintBrush);
  if (colours.frameBrush) DeleteObject(colours.frameBrush);
  colours.hintBrush = nullptr;
  colours.frameBrush = nullptr;
}
