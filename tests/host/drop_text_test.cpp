// The cut of dropped text: first line, field limit, whole double-byte characters, 260-byte cap.
#include "app/drop_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr size_t BufferSize = 261;

const char* SingleByteStep(const char* text) { return text + 1; }

// Code page 932 lead bytes: a character starting with one of them takes two bytes.
const char* ShiftJisStep(const char* text) {
  const unsigned char lead = static_cast<unsigned char>(*text);
  const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
  return (isLead && text[1] != '\0') ? text + 2 : text + 1;
}

std::string Cut(const std::string& source, size_t limit, DropCharacterStep step = SingleByteStep) {
  char buffer[BufferSize + 8];
  std::fill(buffer, buffer + sizeof buffer, '#');
  CutDropText(buffer, source.c_str(), source.size() + 1, limit, step);
  return buffer;
}

TEST(DropText, KeepsFirstLineWithinLimit) {
  struct Case { const char* name; std::string source; size_t limit; std::string expected; };
  const Case cases[] = {
      {"short text unchanged", "Statorix", 64, "Statorix"},
      {"empty", "", 64, ""},
      {"first line only", "C:\\Games\r\nsecond line", 195, "C:\\Games"},
      {"leading carriage return", "\rrest", 64, ""},
      {"group limit", std::string(100, 'g'), 64, std::string(64, 'g')},
      {"folder limit", std::string(250, 'f'), 195, std::string(195, 'f')},
      {"exactly the limit", std::string(64, 'x'), 64, std::string(64, 'x')},
      {"line shorter than limit before long rest", "ab\r" + std::string(300, 'z'), 64, "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(Cut(c.source, c.limit), c.expected) << c.name;
}

TEST(DropText, NeverSplitsDoubleByteCharacter) {
  const std::string kanji = "\x93\xfa";  // one character, two bytes
  struct Case { const char* name; std::string source; size_t limit; std::string expected; };
  const Case cases[] = {
      {"character straddling the limit dropped", std::string(63, 'a') + kanji, 64, std::string(63, 'a')},
      {"character ending at the limit kept", std::string(62, 'a') + kanji + "b", 64, std::string(62, 'a') + kanji},
      {"trail byte 0x0D is not a line end", "\x81\x0d" "ab\rc", 64, "\x81\x0d" "ab"},
      {"lead byte with missing trail byte", "ab\x93", 64, "ab\x93"},
  };
  for (const Case& c : cases) EXPECT_EQ(Cut(c.source, c.limit, ShiftJisStep), c.expected) << c.name;
}

TEST(DropText, CopiesAtMost260Bytes) {
  const std::string longLine(400, 'q');
  EXPECT_EQ(Cut(longLine, 1000), std::string(260, 'q'));
  // a carriage return after byte 260 is never seen
  EXPECT_EQ(Cut(std::string(270, 'q') + "\r", 1000), std::string(260, 'q'));
}

// A block from another program need not hold a NUL: nothing past its size is read.
TEST(DropText, ReadsNoFurtherThanTheBlock) {
  const char block[] = {'a', 'b', 'c', '\r'};
  char buffer[BufferSize];
  CutDropText(buffer, block, 3, 64, SingleByteStep);
  EXPECT_EQ(std::string(buffer), "abc");
  CutDropText(buffer, block, 0, 64, SingleByteStep);
  EXPECT_EQ(std::string(buffer), "");
}

// The drop cuts the text where it was copied to, as TakeDroppedText does.
TEST(DropText, CutsInPlace) {
  char buffer[BufferSize];
  const std::string source = std::string(70, 'g') + "\r\nrest";
  std::copy(source.c_str(), source.c_str() + source.size() + 1, buffer);
  CutDropText(buffer, buffer, sizeof buffer, 64, SingleByteStep);
  EXPECT_EQ(std::string(buffer), std::string(64, 'g'));
}

// A stepper that does not advance must not hang the walk.
TEST(DropText, StallingStepperStopsTheWalk) {
  auto stall = [](const char* text) -> const char* { return text; };
  EXPECT_EQ(Cut("abc", 64, stall), "");
}

}  // namespace
