// CRC-32 check values, and that a CRC fed in pieces equals the CRC of the whole (the installer
// feeds it 8192 bytes at a time).
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "install/crc32.h"

namespace {

uint32_t Crc32Of(const std::string& text) {
  return ~Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, text.data(), text.size());
}

TEST(Crc32, MatchesStandardCheckValues) {
  struct Case {
    const char* text;
    uint32_t crc;
  } cases[] = {
      {"123456789", 0xCBF43926u},
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const Case& c : cases) EXPECT_EQ(Crc32Of(c.text), c.crc) << '"' << c.text << '"';
  const unsigned char zero = 0, ff = 0xFF;
  EXPECT_EQ(~Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, &zero, 1), 0xD202EF8Du);
  EXPECT_EQ(~Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, &ff, 1), 0xFF000000u);
}

TEST(Crc32, ZeroLengthLeavesValueAndPiecesEqualWhole) {
  EXPECT_EQ(Crc32Update(Crc32Polynomial, 0x12345678u, nullptr, 0), 0x12345678u);
  std::string data;
  for (int i = 0; i < 20000; ++i) data += char(i * 7 + i / 13);
  uint32_t whole = Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, data.data(), data.size());
  for (size_t piece : {1u, 7u, 8192u, 8193u}) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t at = 0; at < data.size(); at += piece)
      crc = Crc32Update(Crc32Polynomial, crc, data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(crc, whole) << "pieces of " << piece;
  }
}

}  // namespace
