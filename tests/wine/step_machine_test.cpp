// The step machine run without a dialog against the real built installer, mapped as the program's
// own image: a whole installation step by step, its failures with their one message each, and a
// stop followed by a fresh start.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "app/main_dialog.h"
#include "install/crc32.h"
#include "install/self_copy.h"
#include "install/setup_state.h"
#include "install/step_machine.h"
#include "payload_constants.h"
#include "platform/image.h"
#include "registration/program_group.h"
#include "tests/wine/installer_image.h"
#include "tests/wine/wine_test_support.h"

namespace {

class StepMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    SetCurrentDirectoryA("C:\\");
    installer = WindowsPathOf(QUORVEL_SETUP_EXE);
    file = ReadWholeFile(installer);
    ASSERT_GT(file.size(), 8192u);
    image = MapImageFile(file);
    SetOwnImage(image.data());
    UseProgramFile(installer);
    InspectOwnImage();
    ASSERT_TRUE(setup.payloadPresent);
    CopyText(setup.folder, "C:\\Pub");
    CopyText(setup.groupName, "Statorix");
    CopyText(setup.uninstallKeyPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel");
    stepsRun = 0;
  }
  void TearDown() override { SetOwnImage(nullptr); }

  void UseProgramFile(const std::string& path) { CopyText(setup.ownPath, path.c_str()); }

  // The program file as a copy on C:, changed by `edit`, so failures of the source can be made.
  void UseEditedProgramFile(void (*edit)(std::vector<unsigned char>&, uint32_t payload)) {
    std::vector<unsigned char> edited = file;
    edit(edited, PayloadPosition(2000));
    ASSERT_TRUE(WriteWholeFile("C:\\setup-copy.exe", edited.data(), edited.size()));
    UseProgramFile("C:\\setup-copy.exe");
  }

  uint32_t PayloadPosition(uint16_t id) {
    uint32_t rva = 0, size = 0;
    EXPECT_TRUE(FindResourceInImage(image.data(), id, 256, &rva, &size));
    return rva - setup.rvaToFileDelta;
  }
  uint32_t PayloadSize(uint16_t id) {
    uint32_t rva = 0, size = 0;
    EXPECT_TRUE(FindResourceInImage(image.data(), id, 256, &rva, &size));
    return size;
  }

  // Runs StartInstall and then the posted steps as the dialog would, until the machine stops.
  void RunInstallation() {
    StartInstall();
    for (int guard = 0; setup.installing && guard < 100000; ++guard) InstallStep();
  }

  static uint32_t StepsFor(uint32_t bytes) { return bytes / ChunkSize + 1; }

  std::string installer;
  std::vector<unsigned char> file, image;
};

// A Start-menu folder whose file system stops answering: the shortcut's file is a Unix FIFO that
// this test holds open with its buffer full (Linux gives a pipe 64 KiB), so the shell's write of
// the link blocks, as on a share that has gone away, until the test reads.
class StalledLinkFile {
 public:
  explicit StalledLinkFile(const std::string& path) {
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unixPath = unixFileName ? unixFileName(wide) : nullptr;
    if (!unixPath) return;
    std::string command = std::string("mkfifo \"") + unixPath + "\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\usr\\bin\\mkfifo", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);  // Wine signals a Unix process's handle at once: wait for the FIFO
    for (DWORD start = GetTickCount(); pipe == INVALID_HANDLE_VALUE && GetTickCount() - start < 20000; Sleep(20))
      pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE || GetFileType(pipe) != FILE_TYPE_PIPE) return;
    std::string filler(PipeCapacity, '\0');
    DWORD written = 0;
    stalled = WriteFile(pipe, filler.data(), PipeCapacity, &written, nullptr) && written == PipeCapacity;
  }
  ~StalledLinkFile() {
    if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
  }

  // Empties the buffer, so that the blocked write goes on, and reads what comes after it until
  // `wanted` is among it or the bound has passed.
  bool ReleaseAndFind(const std::string& wanted, DWORD boundMs) {
    reader.wanted = wanted;
    HANDLE thread = CreateThread(nullptr, 0, ReadUntilFound, this, 0, nullptr);
    bool found = WaitForSingleObject(thread, boundMs) == WAIT_OBJECT_0 && reader.found;
    CloseHandle(thread);  // left blocked in its read when nothing came; the process ends it
    return found;
  }

  static constexpr DWORD PipeCapacity = 65536;
  HANDLE pipe = INVALID_HANDLE_VALUE;
  bool stalled = false;

 private:
  static DWORD WINAPI ReadUntilFound(void* self) {
    auto& me = *static_cast<StalledLinkFile*>(self);
    char buffer[4096];
    DWORD got = 0;
    while (!me.reader.found && ReadFile(me.pipe, buffer, sizeof buffer, &got, nullptr) && got != 0) {
      me.reader.data.append(buffer, got);
      me.reader.found = me.reader.data.find(me.reader.wanted) != std::string::npos;
    }
    return 0;
  }
  struct {
    std::string wanted, data;
    bool found = false;
  } reader;
};

uint32_t CrcOf(const std::vector<unsigned char>& data) {
  return ~Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, data.data(), data.size());
}

TEST_F(StepMachine, InstallsEveryFileVerifiedInTheExpectedNumberOfSteps) {
  MessageBoxAnswerer unexpected(IDCANCEL, 5000);
  RunInstallation();
  EXPECT_FALSE(unexpected.Wait()) << unexpected.caption << ": " << unexpected.text;
  EXPECT_FALSE(setup.installing);
  EXPECT_TRUE(setup.installed);
  EXPECT_TRUE(setup.openAvailable);
  EXPECT_TRUE(setup.installedThisRun);
  EXPECT_TRUE(setup.partiallyInstalled);
  EXPECT_EQ(NoLz, setup.lzHandle);
  EXPECT_EQ(NoFile, setup.outputFile);

  const uint32_t copyLength = PayloadPosition(2000);
  // The copy, the later file, three payload files each copied and read back (the viewer expanded
  // in between, to a size that ends in a short chunk), the shortcut row and the completion.
  ASSERT_NE(0u, PayloadExpandedSizeViewer % ChunkSize);
  EXPECT_EQ(StepsFor(copyLength) + 1 + 2 * StepsFor(PayloadSize(2000)) + 2 * StepsFor(PayloadSize(2001)) +
                StepsFor(PayloadSize(2002)) + 2 * StepsFor(PayloadExpandedSizeViewer) + 1 + 1,
            stepsRun);

  std::vector<unsigned char> copy = ReadWholeFile("C:\\Pub\\kavriset.exe");
  EXPECT_EQ(copyLength, copy.size());
  EXPECT_EQ(0, memcmp(copy.data() + 4096, file.data() + 4096, copy.size() - 4096));  // past the header
  EXPECT_STREQ("C:\\Pub\\kavriset.exe", setup.uninstallerPath);

  std::vector<unsigned char> data1 = ReadWholeFile("C:\\Pub\\Kavri1.DAT");
  std::vector<unsigned char> data0 = ReadWholeFile("C:\\Pub\\Kavri0.DAT");
  std::vector<unsigned char> viewer = ReadWholeFile("C:\\Pub\\Kavri.exe");
  EXPECT_EQ(PayloadSizeKavri1, data1.size());
  EXPECT_EQ(PayloadSizeKavri0, data0.size());
  EXPECT_EQ(PayloadExpandedSizeViewer, viewer.size());
  EXPECT_EQ(PayloadCrcKavri1, CrcOf(data1));
  EXPECT_EQ(PayloadCrcKavri0, CrcOf(data0));
  EXPECT_EQ(PayloadCrcViewer, CrcOf(viewer));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\Kavri.ex_"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\KavriV.ini"));
  EXPECT_EQ(copyLength + PayloadSizeKavri1 + PayloadSizeKavri0 + PayloadExpandedSizeViewer, setup.bytesDone);

  std::vector<unsigned char> record = ReadWholeFile("C:\\Pub\\KavriL.dat");
  std::string text(record.begin(), record.end());
  EXPECT_NE(std::string::npos, text.find("Quorvel 1.740 installed by Quorvel Setup")) << text;
  EXPECT_NE(std::string::npos, text.find("C:\\Pub")) << text;
  EXPECT_NE(std::string::npos, text.find("Kavri.exe")) << text;

  HKEY key = nullptr;  // completion registered the installation after writing the record
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                         "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel", 0,
                                         KEY_READ, &key));
  if (key) RegCloseKey(key);
}

// The shortcut's save blocks in the file system and never ends within its bound: the group's one
// message comes, the user's own group is not tried (it would wait as long again), and the
// installation completes. The save, released later, still finishes the link it was given.
TEST_F(StepMachine, AShortcutSaveThatHangsIsReportedOnceAndTheInstallationCompletes) {
  char common[MAX_PATH] = {}, own[MAX_PATH] = {};
  ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, common));
  ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, own));
  const std::string group = std::string(common) + "\\Statorix";
  ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr));
  StalledLinkFile link(group + "\\Quorvel.lnk");
  ASSERT_TRUE(link.stalled) << "no FIFO with a full buffer";
  groups.commonProgramsFound = 1;

  MessageBoxAnswerer box(IDOK, 120000);
  RunInstallation();
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ("Unable to alter Items in Program Group", box.text);
  EXPECT_EQ("Statorix", box.caption);
  EXPECT_TRUE(setup.installed);
  EXPECT_TRUE(setup.openAvailable);
  EXPECT_FALSE(setup.installing);
  EXPECT_EQ(1, setup.allUsers);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(own) + "\\Statorix").c_str()));
  EXPECT_TRUE(link.ReleaseAndFind("Kavri.exe", 30000)) << "the released save wrote no link";
  // The late save lets go of the block it shares with the dialog when it ends; until then a new
  // save is refused at once. Waiting for it here also keeps the process from ending under it.
  LinkSaveOutcome next = LinkSaveTimedOut;
  for (DWORD start = GetTickCount(); next == LinkSaveTimedOut && GetTickCount() - start < 30000; Sleep(20))
    next = SaveShellLink("C:\\Pub\\After.lnk", "C:\\Pub\\Kavri.exe", 0);
  EXPECT_EQ(LinkSaved, next) << "the block was never let go of";
}

TEST_F(StepMachine, ProgramFileEndingEarlyIsIncompleteAndKeepsThePartialFile) {
  UseEditedProgramFile([](std::vector<unsigned char>& data, uint32_t payload) {
    data.resize(payload + PayloadSizeKavri1 / 2);  // inside resource 2000's data
  });
  MessageBoxAnswerer answer(IDOK);
  RunInstallation();
  ASSERT_TRUE(answer.Wait());
  EXPECT_EQ("Your data file is incomplete.\nPlease download the publication again.", answer.text);
  EXPECT_EQ("C:\\setup-copy.exe", answer.caption);
  EXPECT_FALSE(setup.installing);
  EXPECT_FALSE(setup.installed);
  EXPECT_TRUE(setup.partiallyInstalled);
  EXPECT_EQ(NoLz, setup.lzHandle);
  EXPECT_EQ(NoFile, setup.outputFile);
  EXPECT_EQ(PayloadSizeKavri1 / 2, ReadWholeFile("C:\\Pub\\Kavri1.DAT").size());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\KavriL.dat"));
}

TEST_F(StepMachine, DamagedPayloadFailsTheIntegrityTest) {
  UseEditedProgramFile([](std::vector<unsigned char>& data, uint32_t payload) { data[payload + PayloadSizeKavri1 / 2] ^= 0x04; });
  MessageBoxAnswerer answer(IDOK);
  RunInstallation();
  ASSERT_TRUE(answer.Wait());
  EXPECT_EQ("Integrity test failed, obtain a new copy of the publication", answer.text);
  EXPECT_EQ("C:\\Pub\\Kavri1.DAT", answer.caption);
  EXPECT_FALSE(setup.installing);
  EXPECT_EQ(NoFile, setup.outputFile);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\Kavri0.DAT"));
}

TEST_F(StepMachine, DestinationThatCannotBeCreatedIsReportedWithItsPath) {
  CreateDirectoryA("C:\\Pub", nullptr);
  ASSERT_TRUE(CreateDirectoryA("C:\\Pub\\Kavri0.DAT", nullptr));
  MessageBoxAnswerer answer(IDOK);
  RunInstallation();
  ASSERT_TRUE(answer.Wait());
  EXPECT_EQ("Unable to create this file", answer.text);
  EXPECT_EQ("C:\\Pub\\Kavri0.DAT", answer.caption);
  EXPECT_FALSE(setup.installing);
  EXPECT_EQ(NoLz, setup.lzHandle);
}

TEST_F(StepMachine, TooLongFolderDoesNotStart) {
  // 195 typed characters, 197 once the root "\\" is rebuilt as "C:\\".
  std::string folder = "\\" + std::string(194, 'f');
  CopyText(setup.folder, folder.c_str());
  MessageBoxAnswerer answer(IDOK);
  StartInstall();
  ASSERT_TRUE(answer.Wait());
  EXPECT_EQ("Please check the destination folder, use letters and digits without spaces", answer.text);
  const std::string cut = "C:\\" + std::string(192, 'f');
  EXPECT_EQ(cut, answer.caption);
  EXPECT_EQ(cut, setup.folder);
  EXPECT_FALSE(setup.installing);
  EXPECT_FALSE(setup.partiallyInstalled);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(cut.c_str()));
}

// A stop while a file is copied, while the viewer is expanded and while a file is read back: the
// handles are closed, what was written stays, the installation counts as partial, and the next
// Install starts again from the first row and completes.
TEST_F(StepMachine, StopInAnyPhaseThenInstallAgainFromTheFirstRow) {
  ASSERT_GT(PayloadSizeKavri1, ChunkSize);
  ASSERT_GT(PayloadExpandedSizeViewer, ChunkSize);
  struct StopCase {
    const char* phase;
    const char* row;
    uint16_t stepPhase;
    const char* leftFile;
    uint32_t leftSize;
  } cases[] = {
      {"copy", "Kavri1.DAT", PhaseCopy, "C:\\Pub\\Kavri1.DAT", ChunkSize},
      {"expansion", "Kavri.exe", PhaseExpand, "C:\\Pub\\Kavri.ex_", ChunkSize},
      {"verification", "Kavri1.DAT", PhaseVerify, "C:\\Pub\\Kavri1.DAT", PayloadSizeKavri1},
  };
  MessageBoxAnswerer unexpected(IDCANCEL, 5000);
  for (const StopCase& stop : cases) {
    SCOPED_TRACE(stop.phase);
    // Steps until the row has done its first chunk of the phase.
    auto reached = [&] {
      if (setup.cursor == ManifestEnd() || strcmp(setup.cursor->name, stop.row) != 0 ||
          setup.stepPhase != stop.stepPhase)
        return false;
      if (stop.stepPhase == PhaseExpand) return setup.expandedBytes >= ChunkSize;
      if (stop.stepPhase == PhaseVerify)
        return SetFilePointer(reinterpret_cast<HANDLE>(setup.outputFile), 0, nullptr, FILE_CURRENT) >= ChunkSize;
      return setup.lzHandle != NoLz && setup.expectedSize - setup.bytesRemaining >= ChunkSize;
    };
    StartInstall();
    for (int guard = 0; setup.installing && !reached() && guard < 100000; ++guard) InstallStep();
    ASSERT_TRUE(setup.installing);
    StopInstallation();
    EXPECT_FALSE(setup.installing);
    EXPECT_EQ(NoLz, setup.lzHandle);
    EXPECT_EQ(NoFile, setup.outputFile);
    EXPECT_TRUE(setup.partiallyInstalled);
    EXPECT_EQ(stop.leftSize, ReadWholeFile(stop.leftFile).size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\KavriL.dat"));

    RunInstallation();
    EXPECT_TRUE(setup.installed);
    EXPECT_EQ(PayloadCrcKavri1, CrcOf(ReadWholeFile("C:\\Pub\\Kavri1.DAT")));
    EXPECT_EQ(PayloadCrcViewer, CrcOf(ReadWholeFile("C:\\Pub\\Kavri.exe")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Pub\\Kavri.ex_"));
    EXPECT_EQ(PayloadPosition(2000), ReadWholeFile("C:\\Pub\\kavriset.exe").size());
    // The next case starts from nothing installed.
    for (const char* name : {"kavriset.exe", "Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
      DeleteFileA((std::string("C:\\Pub\\") + name).c_str());
    SetUp();
  }
  EXPECT_FALSE(unexpected.Wait()) << unexpected.caption << ": " << unexpected.text;
}

}  // namespace
