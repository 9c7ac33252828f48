// The install folder rules under Wine: normalisation against a known current directory, the
// 195-byte limit, the directory chain, and the separator walk (also in code page 932).
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <string>
#include "install/folder_rules.h"
#include "install/setup_state.h"

namespace {

class FolderRules : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    CreateDirectoryA("C:\\Work", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
  }
  bool Normalise(const std::string& typed) {
    CopyText(setup.folder, typed.c_str());
    return NormaliseFolder();
  }
};

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct FolderRow {
  const char* typed;
  const char* folder;
  const char* workPath;
  int rootPrefixLength;
};

TEST_F(FolderRules, NormalisesTypedFoldersAgainstTheCurrentDirectory) {
  const FolderRow rows[] = {
      {"", "C:\\Program Files\\xan", "C:\\Program Files\\xan\\", 3},
      {"Books", "C:\\Work\\Books", "C:\\Work\\Books\\", 8},
      {"\\Books", "C:\\Books", "C:\\Books\\", 3},
      {"C:\\", "C:\\", "C:\\", 3},
      {"C:Books", "C:\\Work\\Books", "C:\\Work\\Books\\", 8},
      {"C:\\\\\\x", "C:\\x", "C:\\x\\", 3},                      // a typed root of five
      {"C:\\a\\\\", "C:\\a", "C:\\a\\", 3},                         // both trailing backslashes go
      {"Books/Old/", "C:\\Work\\Books\\Old", "C:\\Work\\Books\\Old\\", 8},
      {"C:/Deep//Folder", "C:\\Deep\\Folder", "C:\\Deep\\Folder\\", 3},
      // One spelling of each folder: what Windows would make of the parts is done here.
      {"C:\\Made\\..\\users\\xan", "C:\\users\\xan", "C:\\users\\xan\\", 3},
      {"C:\\New\\.\\xan", "C:\\New\\xan", "C:\\New\\xan\\", 3},
      {"C:\\New\\xan.", "C:\\New\\xan", "C:\\New\\xan\\", 3},
      {"C:\\New. \\xan . .", "C:\\New\\xan", "C:\\New\\xan\\", 3},  // every part, not only the last
      {"C:\\a..b\\.x\\ y", "C:\\a..b\\.x\\ y", "C:\\a..b\\.x\\ y\\", 3},     // inner and leading ones stay
      {"C:\\..\\..\\x", "C:\\x", "C:\\x\\", 3},                   // never above the root
      {"Books\\..\\..\\x", "C:\\Work\\x", "C:\\Work\\x\\", 8},     // nor above the current directory
      {"C:\\x\\..", "C:\\", "C:\\", 3},                             // back to a bare root
      {"Books\\..", "C:\\Work", "C:\\Work\\", 7},                    // the current directory itself
      {"C:", "C:\\Work", "C:\\Work\\", 7},
  };
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.typed);
    EXPECT_TRUE(Normalise(row.typed));
    EXPECT_STREQ(row.folder, setup.folder);
    EXPECT_STREQ(row.workPath, setup.workPath);
    EXPECT_EQ(strlen(row.workPath), setup.folderPrefixLength);
    EXPECT_EQ(row.rootPrefixLength, setup.rootPrefixLength);
    // Normalising the result again changes nothing.
    EXPECT_TRUE(Normalise(row.folder));
    EXPECT_STREQ(row.folder, setup.folder);
    EXPECT_STREQ(row.workPath, setup.workPath);
  }
}

// What Windows makes of a part of dots and spaces other than "." and ".." is not clear: such a
// folder is refused, and the field keeps what was typed so that it can be put right.
TEST_F(FolderRules, PartsOfDotsAndSpacesOnlyAreRefused) {
  for (const char* typed : {"C:\\a\\...\\b", "C:\\a\\. .\\b", "C:\\a\\ \\b", "C:\\a\\.. ", "C:\\...", "C:\\a\\. "}) {
    SCOPED_TRACE(typed);
    EXPECT_FALSE(Normalise(typed));
    EXPECT_STREQ(typed, setup.folder);
  }
}

TEST_F(FolderRules, ForwardSlashesAndLowerCaseDriveTakeTheParsersRoot) {
  EXPECT_TRUE(Normalise("c:/Program Files/xan/"));
  EXPECT_EQ(0, lstrcmpiA("C:\\Program Files\\xan", setup.folder)) << setup.folder;
  EXPECT_EQ(std::string(setup.folder) + "\\", setup.workPath);
  EXPECT_EQ(3, setup.rootPrefixLength);
}

TEST_F(FolderRules, BareRootHasNoSecondBackslashAndMakesNoDirectory) {
  EXPECT_TRUE(Normalise("C:\\"));
  EXPECT_EQ(3, setup.folderPrefixLength);
  CreateFolderChain();
  EXPECT_STREQ("C:\\", setup.folder);  // the chain puts back what it cut
}

TEST_F(FolderRules, FolderOf195CharactersIsAcceptedAnd196IsCutAtTheLimit) {
  std::string exact = "C:\\" + std::string(192, 'a');
  EXPECT_TRUE(Normalise(exact));
  EXPECT_EQ(exact, setup.folder);
  EXPECT_EQ(exact + "\\", setup.workPath);

  // 194 typed characters become 196 once the root "\" is rebuilt as "C:\".
  std::string tooLong = "\\" + std::string(193, 'b');
  EXPECT_FALSE(Normalise(tooLong));
  EXPECT_EQ("C:\\" + std::string(192, 'b'), setup.folder);
  EXPECT_EQ(196, setup.folderPrefixLength);

  // A relative folder counts the resolved root "C:\Work\" (8 bytes) against the limit.
  EXPECT_FALSE(Normalise(std::string(190, 'c')));
  EXPECT_EQ("C:\\Work\\" + std::string(187, 'c'), setup.folder);

  // The limit counts the canonical text: 197 once "\\" is rebuilt, 195 once the "." part has gone.
  EXPECT_TRUE(Normalise("\\" + std::string(192, 'a') + "\\."));
  EXPECT_EQ(exact, setup.folder);

  // A cut (197 rebuilt, as above) leaves no trailing dot or space, nor a part of dots alone.
  EXPECT_FALSE(Normalise("\\" + std::string(189, 'd') + "\\x. y"));
  EXPECT_EQ("C:\\" + std::string(189, 'd') + "\\x", setup.folder);
  EXPECT_FALSE(Normalise("\\" + std::string(190, 'e') + "\\..y"));
  EXPECT_EQ("C:\\" + std::string(190, 'e'), setup.folder);
  EXPECT_EQ("C:\\" + std::string(190, 'e') + "\\", setup.workPath);
}

TEST_F(FolderRules, ChainCreatesEveryLevelBelowTheRoot) {
  EXPECT_TRUE(Normalise("C:\\a\\b\\c"));
  CreateFolderChain();
  EXPECT_TRUE(IsDirectory("C:\\a"));
  EXPECT_TRUE(IsDirectory("C:\\a\\b"));
  EXPECT_TRUE(IsDirectory("C:\\a\\b\\c"));
  EXPECT_STREQ("C:\\a\\b\\c", setup.folder);

  EXPECT_TRUE(Normalise("Books\\New"));  // relative: starts below the current directory
  CreateFolderChain();
  EXPECT_TRUE(IsDirectory("C:\\Work\\Books\\New"));
  EXPECT_STREQ("C:\\Work\\Books\\New", setup.folder);
}

TEST_F(FolderRules, ChainGoesOnPastALevelThatCannotBeMade) {
  // A file where a level should be: that level fails, the deeper ones then fail too, quietly.
  HANDLE blocker = CreateFileA("C:\\blocked", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
  CloseHandle(blocker);
  EXPECT_TRUE(Normalise("C:\\blocked\\inner"));
  CreateFolderChain();
  EXPECT_FALSE(IsDirectory("C:\\blocked\\inner"));
  EXPECT_STREQ("C:\\blocked\\inner", setup.folder);
}

// Steps over a byte of 0x80 or more together with the byte after it, like a double-byte code page.
const char* TwoByteStep(const char* text) {
  if (*text == '\0') return text;
  return (static_cast<unsigned char>(*text) >= 0x80 && text[1]) ? text + 2 : text + 1;
}

TEST(FindSeparator, WalksWholeCharactersUpToTheCount) {
  EXPECT_EQ(0, FindSeparator(0, "\\abc", '\\', TwoByteStep));
  EXPECT_EQ(0, FindSeparator(-3, "abc", '\\', TwoByteStep));
  EXPECT_EQ(2, FindSeparator(5, "ab\\cd", '\\', TwoByteStep));
  EXPECT_EQ(3, FindSeparator(3, "abc", '\\', TwoByteStep));             // absent: the count
  EXPECT_EQ(3, FindSeparator(4, "\x95\\a\\", '\\', TwoByteStep));      // trail byte is no separator
  EXPECT_EQ(3, FindSeparator(2, "a\x95\\b", '\\', TwoByteStep));       // a character crossing the count
  EXPECT_EQ(5, FindSeparator(5, "ab", '\\', TwoByteStep));             // the terminator does not stop it
}

// The pure rewrite with a stepper of its own, so that double-byte cases run in any code page.
TEST(CanonicaliseFolderRest, StepsOverTrailBytes) {
  const std::pair<const char*, const char*> rows[] = {
      {"a\\.\\b", "a\\b"},
      {"\x95\\\\b", "\x95\\\\b"},       // one separator after the trail byte, not two
      {"x\\\x95\\", "x\\\x95\\"},         // no trailing separator to drop
      {"\x95\\.", "\x95\\"},               // the dot trails the character, it is no part
      {"x\\\x95\\..\\y", "x\\\x95\\\\y"},  // nor is ".." after it a climb
  };
  for (const auto& [typed, canonical] : rows) {
    char text[MAX_PATH] = {};
    CopyText(text, typed);
    EXPECT_TRUE(CanonicaliseFolderRest(text, TwoByteStep)) << typed;
    EXPECT_STREQ(canonical, text) << typed;
  }
}

// Run by the separate ctest entry that starts the tests with LC_ALL=ja_JP.UTF-8; skipped elsewhere.
class CodePage932 : public FolderRules {
 protected:
  void SetUp() override {
    if (GetACP() != 932) {
      if (getenv("QUORVEL_EXPECT_CP932")) FAIL() << "code page is " << GetACP() << ", not 932";
      GTEST_SKIP() << "needs code page 932";
    }
    FolderRules::SetUp();
  }
};

// 0x95 0x5C is one character in code page 932 whose trail byte is the byte of a backslash.
TEST_F(CodePage932, SeparatorWalkStepsOverTrailBytes) {
  EXPECT_EQ(3, FindSeparator(4, "\x95\\a\\", '\\'));
  EXPECT_EQ(3, FindSeparator(2, "a\x95\\b", '\\'));
}

// The dot after 0x95 0x5C trails that character's part: it is dropped, and is no part of its own.
TEST_F(CodePage932, CanonicalPartsEndAtWholeCharacters) {
  EXPECT_TRUE(Normalise("C:\\a\\\x95\\.\\b"));
  EXPECT_STREQ("C:\\a\\\x95\\\\b", setup.folder);
}

TEST_F(CodePage932, CutAt195DropsADoubleByteCharacterWhole) {
  // 194 typed bytes, 196 once "\\" is rebuilt as "C:\\"; the last character takes two bytes.
  std::string folder = "\\" + std::string(191, 'a') + "\x95\\";
  EXPECT_FALSE(Normalise(folder));
  EXPECT_EQ("C:\\" + std::string(191, 'a'), setup.folder);

  std::string fits = "C:\\" + std::string(190, 'a') + "\x95\\";  // 195 bytes
  EXPECT_TRUE(Normalise(fits));
  EXPECT_EQ(fits, setup.folder);  // the trail byte is not a trailing backslash
  EXPECT_EQ(fits + "\\", setup.workPath);
}

}  // namespace
