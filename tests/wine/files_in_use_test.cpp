// The in-use test that guards Install and Uninstall: a payload file or the InstallRecord held open
// by another program, sharing with readers or sharing nothing, stops the action with one message.
#include <gtest/gtest.h>
#include <windows.h>
#include "install/folder_rules.h"
#include "install/setup_state.h"
#include "tests/wine/wine_test_support.h"

namespace {

const char* const InUseText =
    "Quit access to the publication first.\nChoose Exit from its main File menu,\n or right click the Perch and Exit.";

class FilesInUse : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    CopyText(setup.folder, "C:\\Pub");
    NormaliseFolder();
    CreateDirectoryA("C:\\Pub", nullptr);
    for (const char* name : {"kavriset.exe", "Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"}) Touch(name);
  }
  void TearDown() override {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
  static void Touch(const char* name) {
    std::string path = std::string("C:\\Pub\\") + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    WriteFile(file, "x", 1, nullptr, nullptr);
    CloseHandle(file);
  }
  void Hold(const char* name, DWORD access, DWORD sharing) {
    std::string path = std::string("C:\\Pub\\") + name;
    held = CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
  }
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(FilesInUse, AFileHeldWithSharedReadingOrNoSharingStopsWithTheMessage) {
  struct Case { const char* name; DWORD sharing; };
  for (const Case& c : {Case{"Kavri1.DAT", FILE_SHARE_READ}, Case{"Kavri.exe", FILE_SHARE_READ},
                        Case{"KavriL.dat", FILE_SHARE_READ}, Case{"Kavri0.DAT", 0}, Case{"KavriL.dat", 0}}) {
    SCOPED_TRACE(std::string(c.name) + (c.sharing ? " shared" : " unshared"));
    Hold(c.name, GENERIC_READ, c.sharing);
    MessageBoxAnswerer answer(IDOK);
    EXPECT_TRUE(CheckFilesInUse());
    ASSERT_TRUE(answer.Wait());
    EXPECT_EQ("Publication in use", answer.caption);
    EXPECT_EQ(InUseText, answer.text);
    EXPECT_STREQ("C:\\Pub\\", setup.workPath);
    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
  }
}

TEST_F(FilesInUse, PassesWhenFilesAreAbsentOrFree) {
  MessageBoxAnswerer none(IDOK, 1500);
  EXPECT_FALSE(CheckFilesInUse());  // present but free

  Hold("kavriset.exe", GENERIC_READ, FILE_SHARE_READ);  // the uninstaller copy is never tested
  EXPECT_FALSE(CheckFilesInUse());

  for (const char* name : {"Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
    DeleteFileA((std::string("C:\\Pub\\") + name).c_str());
  EXPECT_FALSE(CheckFilesInUse());
  EXPECT_FALSE(none.Wait());
}

}  // namespace
