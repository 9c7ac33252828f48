// The checked text helpers: a result that would not fit is refused whole and the buffer keeps
// its previous content (CopyText: empty), including at the exact boundary of MAX_PATH.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "platform/paths.h"

namespace {

TEST(Paths, AppendFitsExactlyAndRefusesOneMore) {
  char path[260] = "C:\\";
  std::string fill(256, 'x');
  EXPECT_TRUE(AppendText(path, fill.c_str()));  // 3 + 256 = 259 characters and the terminator
  EXPECT_EQ(strlen(path), 259u);
  EXPECT_FALSE(AppendText(path, "y"));
  EXPECT_EQ(strlen(path), 259u);
  EXPECT_EQ(path[258], 'x');

  char small[8] = "abc";
  EXPECT_FALSE(AppendText(small, "defgh"));
  EXPECT_STREQ(small, "abc");
  EXPECT_TRUE(AppendText(small, "defg"));
  EXPECT_STREQ(small, "abcdefg");
  EXPECT_TRUE(AppendText(small, ""));
  EXPECT_STREQ(small, "abcdefg");
}

TEST(Paths, CopyReplacesOrEmpties) {
  char buffer[6] = "old";
  EXPECT_TRUE(CopyText(buffer, "new"));
  EXPECT_STREQ(buffer, "new");
  EXPECT_FALSE(CopyText(buffer, "toolong"));
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(CopyText(buffer, "fives"));
  EXPECT_STREQ(buffer, "fives");
  EXPECT_FALSE(CopyText(buffer, 0, "x"));
}

TEST(Paths, AppendPartTakesAtMostCountAndRejectsUnterminatedBuffer) {
  char buffer[10] = "ab";
  EXPECT_TRUE(AppendTextPart(buffer, sizeof buffer, "cdefgh", 3));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_TRUE(AppendTextPart(buffer, sizeof buffer, "xy", 10));  // count beyond the text's end
  EXPECT_STREQ(buffer, "abcdexy");
  EXPECT_FALSE(AppendTextPart(buffer, sizeof buffer, "123", 3));  // 7 + 3 leaves no room for the NUL
  EXPECT_STREQ(buffer, "abcdexy");

  char full[4] = {'a', 'b', 'c', 'd'};  // no terminator within the buffer
  EXPECT_FALSE(AppendText(full, sizeof full, ""));
  EXPECT_EQ(memcmp(full, "abcd", 4), 0);
}

TEST(Paths, AppendNumberPadsInBothBasesAndNeverCutsANumber) {
  char buffer[16] = "";
  EXPECT_TRUE(AppendNumber(buffer, 7u, 10, 3));
  EXPECT_STREQ(buffer, "007");
  EXPECT_TRUE(AppendNumber(buffer, 0u));
  EXPECT_STREQ(buffer, "0070");
  buffer[0] = '\0';
  EXPECT_TRUE(AppendNumber(buffer, 0x9BFA813Eu, 16, 8));
  EXPECT_STREQ(buffer, "9BFA813E");
  buffer[0] = '\0';
  EXPECT_TRUE(AppendNumber(buffer, 0xBEu, 16, 8));
  EXPECT_STREQ(buffer, "000000BE");
  buffer[0] = '\0';
  EXPECT_TRUE(AppendNumber(buffer, 4294967295u));
  EXPECT_STREQ(buffer, "4294967295");

  char small[6] = "ab";
  EXPECT_FALSE(AppendNumber(small, 1234u));  // would need 7 bytes with the NUL
  EXPECT_STREQ(small, "ab");
  EXPECT_FALSE(AppendNumber(small, 1u, 8));  // only decimal and hexadecimal
}

}  // namespace
