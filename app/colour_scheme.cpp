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
  // In the order of SchemeInputs' fields.
  static const unsigned char systemColours[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE,
                                                COLOR_BTNTEXT, COLOR_INFOBK,  COLOR_INFOTEXT};
  Colour read[sizeof systemColours];
  for (size_t i = 0; i < sizeof systemColours; ++i) read[i] = GetSysColor(systemColours[i]);
  const SchemeInputs in = {read[0], read[1], read[2], read[3], read[4], read[5]};
  const SchemeColours chosen = ChooseSchemeColours(in, NearestOnScreen);
  colours.hintBackground = chosen.hintBackground;
  colours.hintText = chosen.hintText;
  colours.statusText = chosen.statusText;
  colours.frameBrush = CreateSolidBrush(NearestOnScreen(chosen.frame));
  ReleaseDC(nullptr, screenContext);
  screenContext = nullptr;
  colours.hintBrush = CreateSolidBrush(chosen.hintBackground);
}

void FreeColourScheme() {
  if (colours.hintBrush) DeleteObject(colours.hintBrush);
  if (colours.frameBrush) DeleteObject(colours.frameBrush);
  colours.hintBrush = nullptr;
  colours.frameBrush = nullptr;
}
