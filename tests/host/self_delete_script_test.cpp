// The self-delete command's exact bytes, the temporary names and the room they need in the temporary folder.
#include <gtest/gtest.h>
#include <string>
#include "removal/self_delete.h"

namespace {

const char* const System = "C:\\Windows\\system32";

std::string Compose(const char* copyPath, const char* folder, size_t createdLength, size_t size = 8192,
                    const char* system = System) {
  std::string buffer(size, '\x7f');
  size_t length = ComposeSelfDeleteCommand(&buffer[0], size, system, copyPath, folder, createdLength);
  if (length == 0) return "<refused>";
  EXPECT_EQ(buffer[length], '\0');
  return buffer.substr(0, length);
}

// The interpreter and ping by their full paths in the system folder, AutoRun skipped (/d), and
// nothing else but the interpreter's own commands.
std::string Tries(const std::string& copy) {
  return "\"C:\\Windows\\system32\\cmd.exe\" /d /q /c (for /l %i in (1,1,60) do (del \"" + copy +
         "\" 2>nul & if exist \"" + copy + "\" \"C:\\Windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul))";
}

// A bounded loop with a pause between tries, then the created folders deepest first (the parent
// that was there before stays).
TEST(SelfDeleteCommand, TriesForAMinuteThenRemovesTheCreatedFolders) {
  EXPECT_EQ(Compose("C:\\Books\\New\\xan\\kavriset.exe", "C:\\Books\\New\\xan", 12),
            Tries("C:\\Books\\New\\xan\\kavriset.exe") + " & rmdir \"C:\\Books\\New\\xan\" & rmdir \"C:\\Books\\New\"");
  EXPECT_EQ(Compose("C:\\Program Files\\xan\\kavriset.exe", "C:\\Program Files\\xan", 20),
            Tries("C:\\Program Files\\xan\\kavriset.exe") + " & rmdir \"C:\\Program Files\\xan\"");
  // The copy moved into the temporary folder: its full path and no folders.
  EXPECT_EQ(Compose("C:\\Users\\a b\\Temp\\xan007a.tmp", nullptr, 0), Tries("C:\\Users\\a b\\Temp\\xan007a.tmp"));
}

// Whatever is not a full path would be looked up or taken from the current directory; a system
// folder Windows reports oddly is not trusted either.
TEST(SelfDeleteCommand, NamesNothingByABareOrRelativeName) {
  struct Case { const char* copy; const char* folder; const char* system; };
  const Case refused[] = {{"xan007a.tmp", nullptr, System},
                          {"xan\\kavriset.exe", "xan", System},
                          {"C:kavriset.exe", nullptr, System},
                          {"C:\\xan\\kavriset.exe", "xan", System},
                          {"C:\\xan\\kavriset.exe", nullptr, "system32"},
                          {"C:\\xan\\kavriset.exe", nullptr, ""},
                          {"C:\\xan\\kavriset.exe", nullptr, "C:\\Win%dir%"}};
  for (const Case& c : refused)
    EXPECT_EQ(Compose(c.copy, c.folder, c.folder ? 3 : 0, 8192, c.system), "<refused>") << c.copy << " " << c.system;
  EXPECT_NE(Compose("\\\\server\\share\\xan\\kavriset.exe", nullptr, 0), "<refused>");
}

// The interpreter would expand "%" and "!" and read the text in the OEM code page: a path it
// would take for another is refused rather than written.
TEST(SelfDeleteCommand, RefusesPathsTheInterpreterWouldReadAsAnotherPath) {
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

TEST(SelfDeleteCommand, RefusesABufferTooSmallInsteadOfCuttingTheCommand) {
  const char* copy = "C:\\Program Files\\xan\\kavriset.exe";
  const char* folder = "C:\\Program Files\\xan";
  std::string full = Compose(copy, folder, 20);
  EXPECT_EQ(Compose(copy, folder, 20, full.size() + 1), full);
  EXPECT_EQ(Compose(copy, folder, 20, full.size()), "<refused>");
  EXPECT_EQ(Compose(copy, folder, 20, 20), "<refused>");
  EXPECT_EQ(Compose(copy, nullptr, 0, 10), "<refused>");
  // The interpreter reads at most 8191 characters, however large the buffer.
  std::string deep = "C:";
  for (int level = 0; level < 95; ++level) deep += "\\a";  // 95 folders to remove: about 10,000 characters
  EXPECT_EQ(Compose((deep + "\\kavriset.exe").c_str(), deep.c_str(), 3, 20000), "<refused>");
  EXPECT_NE(Compose((deep + "\\kavriset.exe").c_str(), deep.c_str(), deep.size() - 40, 20000), "<refused>");
}

TEST(TemporaryName, ThreeDigitMillisecondsAndOneLetter) {
  struct Case { unsigned ms; char letter; const char* name; };
  const Case cases[] = {{7, 'a', "xan007a.tmp"}, {7, 'b', "xan007b.tmp"}, {0, 'z', "xan000z.tmp"},
                        {42, 'q', "xan042q.tmp"}, {999, 'a', "xan999a.tmp"}};
  for (const Case& c : cases) {
    char name[16] = {};
    ASSERT_TRUE(FormatTemporaryName(name, sizeof name, c.ms, c.letter, ".tmp")) << c.name;
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(std::string(name).size(), 11u);
  }
}

TEST(TemporaryName, RefusesFourDigitsAndSmallBuffers) {
  char name[16] = {};
  EXPECT_FALSE(FormatTemporaryName(name, sizeof name, 1000, 'a', ".tmp"));
  EXPECT_TRUE(FormatTemporaryName(name, 12, 5, 'a', ".tmp"));
  EXPECT_FALSE(FormatTemporaryName(name, 11, 5, 'a', ".tmp"));
}

// The name and its terminator need 12 bytes after the folder within 260: 247 is the longest
// temporary folder path that still takes a temporary name.
TEST(TemporaryRoom, TemporaryFolderOf248BytesOrMoreIsRefused) {
  EXPECT_FALSE(TempFolderLeavesRoom(0));
  EXPECT_TRUE(TempFolderLeavesRoom(3));
  EXPECT_TRUE(TempFolderLeavesRoom(247));
  EXPECT_FALSE(TempFolderLeavesRoom(248));
  EXPECT_FALSE(TempFolderLeavesRoom(259));
  EXPECT_FALSE(TempFolderLeavesRoom(300));  // GetTempPathA's answer when the buffer is too small
}

}  // namespace
