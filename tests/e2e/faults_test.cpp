// End-to-end faults: a damaged download, a folder that cannot be made or is too long, a full
// disk and files in use. Each shows its one message, and the dialog stays usable afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/e2e/scenario.h"
#include "tests/wine/wine_test_support.h"

namespace {

class Faults : public testing::Test {
 protected:
  void TearDown() override { EndSetup(setup); }

  // Starts the installer placed at `path` (the built one unless the test placed another there).
  void Start(const std::string& path = DownloadedSetup) {
    if (!FileExists(path)) {
      ASSERT_TRUE(PlaceInstaller(path));
    }
    ASSERT_TRUE(StartSetup(setup, path)) << "no dialog titled " << DialogTitle;
  }

  void ExpectInstallMessage(const std::string& text, const std::string& caption) {
    ::ExpectInstallMessage(setup, text, caption);
  }

  // A failed step stops the installation: partially installed, Install offered again, Exit works.
  void ExpectStoppedAndUsable() {
    ExpectStoppedDialog(setup);
    EXPECT_TRUE(WaitForFocus(setup, IDC_UNINSTALL)) << "focus on " << FocusedControlId(setup);
    ExitSetup(setup);
  }

  SetupProcess setup;
};

// A download cut short inside Kavri0.DAT's data. A file whose last section runs past its end does
// not start at all, so the cut copy's section is shortened to the bytes it still has (as a
// truncating download tool that fixes up headers would leave it); its resource directory still
// promises the whole payload.
TEST_F(Faults, InstallerCutShortInsideItsPayload) {
  const PayloadFacts& payload = Payload();
  ASSERT_NE(payload.kavri0Data, 0u);
  std::string cut = payload.installer.substr(0, payload.kavri0Data + 1000);
  uint32_t nt, sections, optionalSize;
  std::memcpy(&nt, cut.data() + 0x3C, 4);
  sections = static_cast<unsigned char>(cut[nt + 6]) | static_cast<unsigned char>(cut[nt + 7]) << 8;
  optionalSize = static_cast<unsigned char>(cut[nt + 20]) | static_cast<unsigned char>(cut[nt + 21]) << 8;
  size_t last = nt + 24 + optionalSize + 40 * (sections - 1);
  uint32_t rawPointer;
  std::memcpy(&rawPointer, cut.data() + last + 20, 4);
  uint32_t rawSize = static_cast<uint32_t>(cut.size()) - rawPointer;
  std::memcpy(&cut[last + 16], &rawSize, 4);
  ASSERT_TRUE(MakeDirectories("C:\\Downloads"));
  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, cut));

  Start();
  ASSERT_TRUE(ControlEnabled(setup, IDC_INSTALL)) << "the cut installer should still offer Install";
  ExpectInstallMessage("Your data file is incomplete.\nPlease download the publication again.",
                       DownloadedSetup);
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "KavriL.dat")));
  ExpectStoppedAndUsable();
}

TEST_F(Faults, OneFlippedByteInKavri0FailsItsIntegrityTest) {
  std::string damaged = Payload().installer;
  ASSERT_NE(Payload().kavri0Data, 0u);
  damaged[Payload().kavri0Data + 100] ^= 0x01;
  ASSERT_TRUE(MakeDirectories("C:\\Downloads"));
  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, damaged));

  Start();
  ExpectInstallMessage("Integrity test failed, obtain a new copy of the publication",
                       InFolder(DefaultInstallFolder, "Kavri0.DAT"));
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "Kavri.exe"))) << "went on after the failure";
  ExpectStoppedAndUsable();
}

TEST_F(Faults, AFolderThatCannotBeCreated) {
  ASSERT_TRUE(WriteWholeFile("C:\\Blocked", "a file where a directory should be"));
  Start();
  TypeText(setup, IDC_FOLDER, "C:\\Blocked\\Books");
  ExpectInstallMessage("Unable to create this file", "C:\\Blocked\\Books\\KavriB.dat");
  ExpectStoppedAndUsable();
}

TEST_F(Faults, WriteErrorWhenTheDiskFills) {
  const char* disk = std::getenv("QUORVEL_SMALL_DISK");
  if (!disk || !*disk) GTEST_SKIP() << "runs through with-small-disk.sh, which mounts a small disk";
  std::string root = WindowsPathOf(disk);
  std::string folder = root + "\\Books";
  // Fill the disk so that the room left ends halfway through the stored viewer: the write error
  // then comes from an ordinary copying step, whatever the payload's sizes.
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA((root + "\\").c_str(), &free, nullptr, nullptr));
  uint64_t room = Payload().copySize + PayloadSizeKavri1 + PayloadSizeKavri0 + PayloadStoredSizeViewer / 2;
  ASSERT_GT(free.QuadPart, room) << "the small disk is too small for this payload";
  ASSERT_TRUE(WriteWholeFile(root + "\\filler", std::string(free.QuadPart - room, 'f')));
  Start();
  TypeText(setup, IDC_FOLDER, folder);
  MessageBoxSeen box;
  ASSERT_EQ(RunInstallation(setup, box), KindInstallMessage) << "the small disk did not fill";
  EXPECT_EQ(box.text, "Write error, check disk space");
  EXPECT_EQ(box.caption.rfind(folder + "\\", 0), 0u) << box.caption;
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !FindMessageBox(setup, box); }, ShortWaitMs));
  ExpectStoppedAndUsable();
}

TEST_F(Faults, AFolderTooLongAfterItsRootIsResolvedIsRefused) {
  Start();
  // "\" resolves to "C:\", so 194 typed characters become a folder of 196: one too many.
  std::string typed = "\\" + std::string(193, 'a');
  std::string cut = "C:\\" + std::string(192, 'a');
  TypeText(setup, IDC_FOLDER, typed);
  ExpectInstallMessage("Please check the destination folder, use letters and digits without spaces", cut);
  EXPECT_TRUE(WaitForFocus(setup, IDC_FOLDER)) << "focus on " << FocusedControlId(setup);
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), cut);
  // Nothing started: still not installed, Install and the fields offered.
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed");
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_FOLDER));
  EXPECT_FALSE(DirectoryExists(cut));
  ExitSetup(setup);
}

// A group name that would put the group (and what uninstall removes with it) outside the Start
// menu is refused before anything is written, whether typed or taken from the settings file.
TEST_F(Faults, AGroupNameThatLeavesTheStartMenuIsRefused) {
  for (bool typed : {true, false}) {
    SCOPED_TRACE(typed ? "typed" : "from kavri.ini");
    const char* group = typed ? "..\\..\\Escaped" : "C:\\Escaped";
    if (!typed) {
      ASSERT_TRUE(WritePrivateProfileStringA("Installed", "Group", group, IniName));
    }
    Start();
    if (typed) TypeText(setup, IDC_GROUP, group);
    ExpectInstallMessage(
        "Please check the Start menu group, use a folder name without a drive, \"..\" or a leading backslash",
        group);
    EXPECT_TRUE(WaitForFocus(setup, IDC_GROUP)) << "focus on " << FocusedControlId(setup);
    EXPECT_FALSE(DirectoryExists(DefaultInstallFolder));
    EXPECT_EQ(SettingsValue("Installed", "Folder"), "<missing>");
    EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed");
    ExitSetup(setup);
    EndSetup(setup);
  }
}

// Held by a reader that shares reading, or by one that shares nothing at all.
TEST_F(Faults, AFileInUseStopsInstallBeforeItStarts) {
  std::string held = InFolder(DefaultInstallFolder, "Kavri0.DAT");
  ASSERT_TRUE(MakeDirectories(DefaultInstallFolder));
  ASSERT_TRUE(WriteWholeFile(held, "the reader has this page open"));
  for (DWORD sharing : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
    SCOPED_TRACE(sharing);
    HANDLE reader = CreateFileA(held.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    Start();
    ExpectInstallMessage(
        "Quit access to the publication first.\nChoose Exit from its main File menu,\n or right click "
        "the Perch and Exit.",
        "Publication in use");
    CloseHandle(reader);
    EXPECT_EQ(FileSize(held), 29) << "a file in use was touched";
    EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "kavriset.exe")));
    EXPECT_EQ(ControlText(setup, IDC_STATUS), "Not Installed");
    EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
    EXPECT_TRUE(ControlEnabled(setup, IDC_FOLDER));
    ExitSetup(setup);
    EndSetup(setup);
  }
}

}  // namespace
