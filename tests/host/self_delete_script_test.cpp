// The self-delete script's exact bytes, its file name and the room it needs in the temporary folder.
#include <gtest/gtest.h>
#include <string>
#include "removal/self_delete.h"

namespace {

std::string Compose(const char* copyPath, const char* folder, size_t createdLength, size_t size = 8192) {
  std::string buffer(size, '\x7f');
  size_t length = ComposeSelfDeleteScript(&buffer[0], size, copyPath, folder, createdLength);
  if (length == 0) return "<refused>";
  EXPECT_EQ(buffer[length], '\0');
  return buffer.substr(0, length);
}

const char* const Loop = "set xantries=0\r\n:R\r\n";
std::string Tries(const std::string& copy) {
  return Loop + ("del \"" + copy + "\"\r\nif not exist \"" + copy +
                 "\" goto D\r\nset /a xantries=xantries+1\r\nif %xantries% geq 60 goto D\r\n"
                 "ping -n 2 127.0.0.1 >nul\r\ngoto R\r\n:D\r\n");
}

// A bounded loop with a pause between tries, then the created folders deepest first (the parent
// that was there before stays), then the script itself.
TEST(SelfDeleteScript, TriesForAMinuteThenRemovesTheCreatedFoldersThenItself) {
  EXPECT_EQ(Compose("C:\\Books\\New\\xan\\kavriset.exe", "C:\\Books\\New\\xan", 12),
            Tries("C:\\Books\\New\\xan\\kavriset.exe") +
                "rmdir \"C:\\Books\\New\\xan\"\r\nrmdir \"C:\\Books\\New\"\r\ndel \"%~f0\"\r\n");
  EXPECT_EQ(Compose("C:\\Program Files\\xan\\kavriset.exe", "C:\\Program Files\\xan", 20),
            Tries("C:\\Program Files\\xan\\kavriset.exe") + "rmdir \"C:\\Program Files\\xan\"\r\ndel \"%~f0\"\r\n");
  // The copy moved into the script's own folder: a bare name and no folders.
  EXPECT_EQ(Compose("xan007a.tmp", nullptr, 0), Tries("xan007a.tmp") + "del \"%~f0\"\r\n");
}

// The interpreter would expand "%" and "!" and read the text in the OEM code page: a path it
// would take for another is refused rather than written.
TEST(SelfDeleteScript, RefusesPathsTheInterpreterWouldReadAsAnotherPath) {
  struct Case { const char* copy; const char* folder; };
  const Case refused[] = {{"C:\\Books 100%\\xan\\kavriset.exe", "C:\\Books 100%\\xan"},
                          {"C:\\%PATH%\\kavriset.exe", "C:\\%PATH%"},
                          {"C:\\Hi!\\kavriset.exe", "C:\\Hi!"},
                          {"C:\\\x8A\x92\x96\\kavriset.exe", "C:\\\x8A\x92\x96"},
                          {"C:\\Caf\xE9\\kavriset.exe", "C:\\Caf\xE9"},
                          {"C:\\ok\\kavriset.exe", "C:\\100%"}};
  for (const Case& c : refused) EXPECT_EQ(Compose(c.copy, c.folder, 3), "<refused>") << c.folder;
  EXPECT_NE(Compose("C:\\a&b^c (d)\\kavriset.exe", "C:\\a&b^c (d)", 3), "<refused>");
}

TEST(SelfDeleteScript, EveryLineEndsInCarriageReturnLineFeed) {
  std::string script = Compose("D:\\a b\\kavriset.exe", "D:\\a b", 3);
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
  EXPECT_EQ(lines, 11u);
  EXPECT_EQ(script.back(), '\n');
}

TEST(SelfDeleteScript, RefusesABufferTooSmallInsteadOfCuttingTheScript) {
  const char* copy = "C:\\Program Files\\xan\\kavriset.exe";
  const char* folder = "C:\\Program Files\\xan";
  std::string full = Compose(copy, folder, 20);
  EXPECT_EQ(Compose(copy, folder, 20, full.size() + 1), full);
  EXPECT_EQ(Compose(copy, folder, 20, full.size()), "<refused>");
  EXPECT_EQ(Compose(copy, folder, 20, 20), "<refused>");
  EXPECT_EQ(Compose(copy, nullptr, 0, 10), "<refused>");
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
