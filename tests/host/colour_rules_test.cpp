// The colour rules of the hint panel, the focus frame and the status line, on worked examples.
#include "app/colour_scheme.h"

#include <gtest/gtest.h>

namespace {

constexpr Colour Rgb(unsigned red, unsigned green, unsigned blue) { return red | (green << 8) | (blue << 16); }
Colour Identity(Colour colour) { return colour; }

constexpr Colour Black = Rgb(0, 0, 0);
constexpr Colour White = Rgb(255, 255, 255);
constexpr Colour Silver = Rgb(192, 192, 192);
constexpr Colour TooltipYellow = Rgb(255, 255, 225);

SchemeInputs ClassicScheme() {
  SchemeInputs in{};
  in.window = White;
  in.windowText = Black;
  in.face = Silver;
  in.buttonText = Black;
  in.infoBackground = TooltipYellow;
  in.infoText = Black;
  return in;
}

TEST(ColourRules, DistanceSumsChannelDifferencesAndIgnoresTopByte) {
  struct Case { Colour a, b; uint16_t expected; };
  const Case cases[] = {
      {Black, White, 765},
      {White, Black, 765},
      {Rgb(255, 255, 0), Silver, 318},
      {Rgb(255, 255, 0), White, 255},
      {Rgb(10, 200, 30), Rgb(20, 100, 30), 110},
      {0xFF000000 | Silver, Silver, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ColourDistance(c.a, c.b), c.expected) << std::hex << c.a << " " << c.b;
}

TEST(ColourRules, ShiftMovesBaseByOffsetWithClamps) {
  struct Case { Colour from, base, to, expected; };
  const Case cases[] = {
      // inside the range: plain offset
      {Rgb(255, 255, 0), Silver, Silver, Rgb(255, 255, 0)},
      {Rgb(100, 50, 20), Rgb(10, 20, 30), Rgb(90, 40, 10), Rgb(20, 30, 40)},
      // white face: red and green overflow far (63 over) and fall back to base - d/2; blue stays inside
      {Rgb(255, 255, 0), White, Silver, Rgb(224, 224, 63)},
      // blue underflows far: 128 - d/2
      {Rgb(255, 255, 0), Rgb(255, 255, 96), Silver, Rgb(224, 224, 224)},
      // a small overflow (v < 288) clamps to 255, a small underflow (v >= -32) to 0
      {Rgb(220, 0, 0), Rgb(250, 0, 0), Rgb(200, 0, 0), Rgb(255, 0, 0)},
      {Rgb(0, 0, 0), Rgb(0, 0, 10), Rgb(0, 0, 40), Rgb(0, 0, 0)},
      // underflow beyond -32 but above d/2 still clamps to 0: d = -100, v = -40, h = -50
      {Rgb(0, 0, 0), Rgb(0, 0, 60), Rgb(0, 0, 100), Rgb(0, 0, 0)},
      // underflow below d/2: 128 - h, d = -100, v = -60, h = -50
      {Rgb(0, 0, 0), Rgb(0, 0, 40), Rgb(0, 0, 100), Rgb(0, 0, 178)},
      // overflow not below d/2 but small: v = 280 < 288 clamps; v - 255 = 25 < h = 30 clamps too
      {Rgb(60, 0, 0), Rgb(220, 0, 0), Rgb(0, 0, 0), Rgb(255, 0, 0)},
      // top bytes of the inputs never reach the result
      {0xAA000000 | Rgb(255, 255, 0), 0xBB000000 | Silver, Silver, Rgb(255, 255, 0)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShiftColour(c.from, c.base, c.to), c.expected) << std::hex << c.from << " " << c.base << " " << c.to;
}

TEST(ColourRules, FrameIsYellowOrTheFaceShiftedTowardsIt) {
  struct Case { Colour face, expected; };
  const Case cases[] = {
      {Silver, 0x0000FFFF},
      {White, Rgb(224, 224, 63)},
      {Rgb(255, 255, 96), Rgb(224, 224, 224)},
  };
  for (const Case& c : cases) {
    SchemeInputs in = ClassicScheme();
    in.face = c.face;
    EXPECT_EQ(ChooseSchemeColours(in, Identity).frame, c.expected) << std::hex << c.face;
  }
}

TEST(ColourRules, StatusTextAvoidsTheFace) {
  struct Case { Colour face, buttonText, expected; };
  const Case cases[] = {
      {Silver, Black, Rgb(0, 0, 128)},          // dark blue on silver
      {Rgb(0, 0, 128), Black, Rgb(128, 0, 0)},  // dark blue face: dark red instead
      {Silver, Rgb(0, 0, 200), Rgb(0, 0, 72)},  // blue wraps within its byte
      {Rgb(0, 0, 72), Rgb(0, 0, 200), Rgb(128, 0, 200)},  // second candidate keeps blue
  };
  for (const Case& c : cases) {
    SchemeInputs in = ClassicScheme();
    in.face = c.face;
    in.buttonText = c.buttonText;
    EXPECT_EQ(ChooseSchemeColours(in, Identity).statusText, c.expected) << std::hex << c.face;
  }
}

TEST(ColourRules, TooltipColoursKeptOrReplaced) {
  struct Case { const char* name; Colour window, windowText, infoBackground, infoText, background, text; };
  const Case cases[] = {
      {"legible tooltip kept", White, Black, TooltipYellow, Black, TooltipYellow, Black},
      {"equal colours rejected", White, Black, Silver, Silver, 0x00C0FFFF, 0x000050FF},
      {"same as window rejected", White, Black, Rgb(250, 250, 250), Rgb(10, 0, 0), 0x00C0FFFF, 0x000050FF},
      {"only background near window kept", White, Black, White, Rgb(0, 0, 200), White, Rgb(0, 0, 200)},
      {"pale yellow near window: strong yellow", Rgb(255, 250, 200), Black, Rgb(255, 250, 200), Black,
       0x0040FFFF, 0x000050FF},
  };
  for (const Case& c : cases) {
    SchemeInputs in = ClassicScheme();
    in.window = c.window;
    in.windowText = c.windowText;
    in.infoBackground = c.infoBackground;
    in.infoText = c.infoText;
    const SchemeColours out = ChooseSchemeColours(in, Identity);
    EXPECT_EQ(out.hintBackground, c.background) << c.name;
    EXPECT_EQ(out.hintText, c.text) << c.name;
  }
}

// The rules compare the colours the screen can show, not the ones asked for.
TEST(ColourRules, RejectionComparesMappedColours) {
  SchemeInputs in = ClassicScheme();
  in.infoBackground = Rgb(255, 255, 230);
  in.infoText = Rgb(255, 255, 231);
  auto quantise = [](Colour colour) -> Colour { return colour & 0x00F0F0F0; };
  const SchemeColours out = ChooseSchemeColours(in, quantise);
  EXPECT_EQ(out.hintBackground, 0x00C0FFFFu & 0x00F0F0F0);
  EXPECT_EQ(out.hintText, 0x000050FFu & 0x00F0F0F0);
}

}  // namespace
