// The colour rules of the hint panel, the focus frame and the status line: distances, the shift of
// a colour by the offset between two others, and the choice of the scheme from the system colours.
// Pure arithmetic on COLORREF values, so it builds natively for the host tests.
#include "app/colour_scheme.h"

namespace {

constexpr Colour PureYellow = 0x0000FFFF;
constexpr Colour PaleYellow = 0x00C0FFFF;
constexpr Colour StrongYellow = 0x0040FFFF;
constexpr Colour OrangeRed = 0x000050FF;
constexpr Colour ClassicFace = 0x00C0C0C0;
constexpr uint16_t TooCloseDistance = 24;
constexpr uint16_t FrameFarEnough = 256;
constexpr uint16_t StatusFarEnough = 128;

int ChannelOf(Colour colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

int ShiftChannel(int from, int base, int to) {
  const int d = from - to;
  const int v = base + d;
  const int h = d / 2;  // C++ division truncates toward zero, as the rule wants
  if (v >= 0 && v <= 255) return v;
  if (v < 0) return (v > h || v >= -32) ? 0 : 128 - h;
  return (v - 255 < h || v < 288) ? 255 : base - h;
}

// Adds 128 to one channel, wrapping within the byte, leaving the others unchanged.
Colour AddHalfToChannel(Colour colour, int shift) {
  const Colour channel = static_cast<Colour>((ChannelOf(colour, shift) + 128) & 0xFF);
  return (colour & ~(Colour{0xFF} << shift) & 0x00FFFFFF) | (channel << shift);
}

}  // namespace

uint16_t ColourDistance(Colour a, Colour b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int difference = ChannelOf(a, shift) - ChannelOf(b, shift);
    sum += difference < 0 ? -difference : difference;
  }
  return static_cast<uint16_t>(sum);
}

Colour ShiftColour(Colour from, Colour base, Colour to) {
  Colour result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int channel = ShiftChannel(ChannelOf(from, shift), ChannelOf(base, shift), ChannelOf(to, shift));
    result |= static_cast<Colour>(channel & 0xFF) << shift;
  }
  return result;
}

SchemeColours ChooseSchemeColours(const SchemeInputs& in, Colour (*nearest)(Colour)) {
  SchemeColours out{};
  out.hintBackground = nearest(in.infoBackground);
  out.hintText = nearest(in.infoText);
  const bool tooltipUnreadable =
      out.hintBackground == out.hintText ||
      (ColourDistance(out.hintBackground, in.window) < TooCloseDistance &&
       ColourDistance(out.hintText, in.windowText) < TooCloseDistance);
  if (tooltipUnreadable) {
    out.hintBackground = nearest(PaleYellow);
    out.hintText = nearest(OrangeRed);
    if (ColourDistance(out.hintBackground, in.window) < TooCloseDistance)
      out.hintBackground = nearest(StrongYellow);
  }

  // Yellow stands out on the classic silver face; on faces near yellow the frame takes the face
  // moved the way yellow lies from silver.
  out.frame = ColourDistance(PureYellow, in.face) >= FrameFarEnough
                  ? PureYellow
                  : ShiftColour(PureYellow, in.face, ClassicFace);

  out.statusText = AddHalfToChannel(in.buttonText, 16);
  if (ColourDistance(out.statusText, in.face) < StatusFarEnough)
    out.statusText = AddHalfToChannel(in.buttonText, 0);
  return out;
}
