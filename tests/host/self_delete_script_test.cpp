// The self-delete script's exact bytes, its file name and the room it needs in the temporary folder.
#include <gtest/gtest.h>
#include <string>
#include "removal/self_delete.h"

namespace {

std::string Compose(const char* copyPath, const char* folder, size_t size = 8192) {
  std::string buffer(size, '\x7f');
  size_t length = ComposeSelfDeleteScript(&buffer[0], size, copyPath, folder);
  if (length == 0) return "<refused>";
  EXPECT_EQ(buffer[length], '\0');
  return buffer.substr(0, length);
}

TEST(SelfDeleteScript, WithFolderLinesDeletesCopyThenFolderThenItself) {
  EXPECT_EQ(Compose("C:\\Program Files\\xan\\kavriset.exe", "C:\\Program Files\\xan"),
            ":R\r\n"
            "del \"C:\\Program Files\\xan\\kavriset.exe\"\r\n"
            "if exist \"C:\\Program Files\\xan\\kavriset.exe\" goto R\r\n"
            "cd ..\r\n"
            "rmdir \"C:\\Program Files\\xan\"\r\n"
            "del \"%~f0\"\r\n");
}

TEST(SelfDeleteScript, WithoutFolderHasNoFolderLines) {
  EXPECT_EQ(Compose("C:\\kavriset.exe", nullptr),
            ":R\r\ndel \"C:\\kavriset.exe\"\r\nif exist \"C:\\kavriset.exe\" goto R\r\ndel \"%~f0\"\r\n");
}

// OEM bytes (here CP850 e-acute 0x82 and a byte with the top bit set) go through untouched, and a
// percent sign in a path is not taken as a format directive.
TEST(SelfDeleteScript, PassesOemBytesAndPercentSignsThrough) {
  std::string script = Compose("C:\\Caf\x82\\%d\xff\\kavriset.exe", "C:\\Caf\x82\\%d\xff");
  EXPECT_NE(script.find("del \"C:\\Caf\x82\\%d\xff\\kavriset.exe\"\r\n"), std::string::npos);
  EXPECT_NE(script.find("rmdir \"C:\\Caf\x82\\%d\xff\"\r\n"), std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 12), "del \"%~f0\"\r\n");
}

TEST(SelfDeleteScript, EveryLineEndsInCarriageReturnLineFeed) {
  std::string script = Compose("D:\\a b\\kavriset.exe", "D:\\a b");
  size_t lines = 0;
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] == '\n') {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(script[i - 1], '\r');
      ++lines;
    } else if (script[i] == '\r') {
      ASSERT_LT(i + 1, script.size());
      EXPECT_EQ(script[i + 1], '\n');
    }
  }
  EXPECT_EQ(lines, 6u);
  EXPECT_EQ(script.back(), '\n');
}

TEST(SelfDeleteScript, RefusesABufferTooSmallInsteadOfCuttingTheScript) {
  const char* copy = "C:\\Program Files\\xan\\kavriset.exe";
  const char* folder = "C:\\Program Files\\xan";
  std::string full = Compose(copy, folder);
  EXPECT_EQ(Compose(copy, folder, full.size() + 1), full);
  EXPECT_EQ(Compose(copy, folder, full.size()), "<refused>");
  EXPECT_EQ(Compose(copy, folder, 20), "<refused>");
  EXPECT_EQ(Compose(copy, nullptr, 10), "<refused>");
}

TEST(ScriptName, ThreeDigitMillisecondsAndOneLetter) {
  struct Case { unsigned ms; char letter; const char* name; };
  const Case cases[] = {{7, 'a', "xan007a.bat"}, {7, 'b', "xan007b.bat"}, {0, 'z', "xan000z.bat"},
                        {42, 'q', "xan042q.bat"}, {999, 'a', "xan999a.bat"}};
  for (const Case& c : cases) {
    char name[16] = {};
    ASSERT_TRUE(FormatScriptName(name, sizeof name, c.ms, c.letter)) << c.name;
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(std::string(name).size(), 11u);
  }
}

TEST(ScriptName, RefusesFourDigitsAndSmallBuffers) {
  char name[16] = {};
  EXPECT_FALSE(FormatScriptName(name, sizeof name, 1000, 'a'));
  EXPECT_TRUE(FormatScriptName(name, 12, 5, 'a'));
  EXPECT_FALSE(FormatScriptName(name, 11, 5, 'a'));
}

// The name and its terminator need 12 bytes after the folder within 260: 247 is the longest
// temporary folder path that still takes a script.
TEST(ScriptRoom, TemporaryFolderOf248BytesOrMoreIsRefused) {
  EXPECT_FALSE(TempFolderLeavesRoom(0));
  EXPECT_TRUE(TempFolderLeavesRoom(3));
  EXPECT_TRUE(TempFolderLeavesRoom(247));
  EXPECT_FALSE(TempFolderLeavesRoom(248));
  EXPECT_FALSE(TempFolderLeavesRoom(259));
  EXPECT_FALSE(TempFolderLeavesRoom(300));  // GetTempPathA's answer when the buffer is too small
}

}  // namespace
