// Colours of the hint panel, the focus frame and the status line, derived from the system colours
// so that they stay legible in any scheme. The rules are pure and tested natively.
#pragma once
#include <cstdint>

using Colour = uint32_t;  // COLORREF layout: red in the low byte, then green, then blue

uint16_t ColourDistance(Colour a, Colour b);
Colour ShiftColour(Colour from, Colour base, Colour to);

struct SchemeInputs {          // system colours, as GetSysColor reports them
  Colour window, windowText, face, buttonText, infoBackground, infoText;
};
struct SchemeColours {
  Colour hintBackground, hintText;  // already mapped with `nearest`: the rules compare mapped colours
  Colour frame;                     // not mapped yet: the brush is made of nearest(frame)
  Colour statusText;                // never mapped
};
// nearest maps a colour to the screen's nearest (GetNearestColor); tests pass the identity.
SchemeColours ChooseSchemeColours(const SchemeInputs& in, Colour (*nearest)(Colour));

#ifdef _WIN32
#include <windows.h>
struct ColourScheme {
  COLORREF hintBackground;
  COLORREF hintText;
  HBRUSH hintBrush;
  HBRUSH frameBrush;
  COLORREF statusText;
};
extern ColourScheme colours;
void BuildColourScheme();
void FreeColourScheme();
#endif
