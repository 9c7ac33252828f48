// End-to-end unattended runs, as deployment tools start the installer: silent installations into
// the folders and groups the command line names, the exit codes of the runs that must not
// install (with the machine left as it was), no window while a silent run works and its log,
// and the dialog preset by the command line.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>

#include "resource_ids.h"
#include "tests/e2e/scenario.h"

namespace {

// Runs the installer (or `exe`) with `arguments` and waits for its end; ~0u when it did not end,
// which a message box or a dialog waiting for someone would cause.
DWORD RunToExit(const std::string& arguments, const std::string& exe = DownloadedSetup, bool asStandardUser = false) {
  SetupProcess run;
  if (!(asStandardUser ? LaunchSetupAsStandardUser(run, exe, arguments) : LaunchSetupWith(run, exe, "", 0, arguments)))
    return ~0u;
  DWORD code = ~0u;
  if (!WaitForExit(run, LongWaitMs, &code)) {
    MessageBoxSeen box;
    ADD_FAILURE() << arguments << " did not end"
                  << (FindMessageBox(run, box) ? ", showing \"" + box.text + "\" captioned " + box.caption : "");
  }
  EndSetup(run);
  return code;
}

struct SilentInstallCase {
  const char* name;
  const char* arguments;
  const char* folder;  // nullptr: the default for one user
  const char* group;   // "": none
  bool asStandardUser = false;
  bool forOneUser = false;
};

class SilentInstall : public testing::TestWithParam<SilentInstallCase> {};

TEST_P(SilentInstall, InstallsWithExitCode0) {
  const SilentInstallCase& c = GetParam();
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  ASSERT_EQ(RunToExit(c.arguments, DownloadedSetup, c.asStandardUser), 0u);
  const std::string folder = c.folder ? c.folder : OneUserFolder();
  ExpectInstalledFiles(folder);
  ExpectRegistration(folder, c.group, c.forOneUser);
  EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey), !c.forOneUser);
  if (c.group[0] == '\0') {
    EXPECT_FALSE(DirectoryExists(ProgramGroupFolder()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SilentInstall,
    testing::Values(SilentInstallCase{"Defaults", "/S", DefaultInstallFolder, "Statorix"},
                    SilentInstallCase{"FolderWithSpaces", "/S /D=C:\\My Books\\Quorvel Reader",
                                      "C:\\My Books\\Quorvel Reader", "Statorix"},
                    SilentInstallCase{"AnotherGroup", "/G=Reading /S", DefaultInstallFolder, "Reading"},
                    SilentInstallCase{"NoGroup", "/S /G=", DefaultInstallFolder, ""},
                    // An administrator asking for the current user alone, and a standard user.
                    SilentInstallCase{"CurrentUser", "/S /CurrentUser", nullptr, "Statorix", false, true},
                    SilentInstallCase{"StandardUser", "/S", nullptr, "Statorix", true, true}),
    [](const testing::TestParamInfo<SilentInstallCase>& info) { return info.param.name; });

// A silent run that must not install: its exit code, and the machine as it was before it (but
// for the log it was asked to write).
struct RefusalCase {
  const char* name;
  const char* arguments;
  DWORD exitCode;
  const char* logged;  // the log's whole text
  bool asStandardUser = false;
};

class SilentRefusal : public testing::TestWithParam<RefusalCase> {
 protected:
  void TearDown() override {
    EndSetup(dialog);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
  SetupProcess dialog;
  HANDLE held = INVALID_HANDLE_VALUE;
};

// A folder every user may write to, a standard user too.
constexpr const char* RefusalLog = "C:\\users\\Public\\refusal.log";

TEST_P(SilentRefusal, EndsWithItsExitCodeAndWritesNothing) {
  const RefusalCase& c = GetParam();
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  if (c.exitCode == 3) {
    ASSERT_EQ(RunToExit("/S"), 0u);
    held = CreateFileA(InFolder(DefaultInstallFolder, "Kavri0.DAT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  if (c.exitCode == 4) {
    ASSERT_TRUE(StartSetup(dialog, DownloadedSetup));
  }
  std::vector<std::string> before = SnapshotMachine();
  EXPECT_EQ(RunToExit(c.arguments, DownloadedSetup, c.asStandardUser), c.exitCode);
  std::string log;
  ReadWholeFile(RefusalLog, log);
  EXPECT_EQ(log, c.logged);
  for (const std::string& line : Differences(before, SnapshotMachine()))
    EXPECT_NE(line.find("refusal.log"), std::string::npos) << "changed: " << line;
}

INSTANTIATE_TEST_SUITE_P(
    ExitCodes, SilentRefusal,
    testing::Values(
        RefusalCase{"ArgumentNotUnderstood", "/S /LOG=C:\\users\\Public\\refusal.log /Q", 2, ""},
        RefusalCase{"FolderTheRulesRefuse", "/S /LOG=C:\\users\\Public\\refusal.log /D=C:\\Books\\...", 1,
                    "C:\\Books\\...: Please check the destination folder, use letters and digits without spaces\r\n"},
        RefusalCase{"PublicationFileInUse", "/S /LOG=C:\\users\\Public\\refusal.log", 3,
                    "Publication in use: Quit access to the publication first. Choose Exit from its main File "
                    "menu,  or right click the Perch and Exit.\r\n"},
        RefusalCase{"AnotherInstanceRunning", "/S /LOG=C:\\users\\Public\\refusal.log", 4, ""},
        RefusalCase{"AllUsersWithoutTheRights", "/S /AllUsers /LOG=C:\\users\\Public\\refusal.log", 1,
                    "/AllUsers: Installing for all users needs administrator rights\r\n", true}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

struct WindowSearch {
  DWORD processId;
  std::vector<std::string> found;
};

BOOL CALLBACK NoteProcessWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == search->processId) search->found.push_back(name);
  return TRUE;
}

// Held before every step it posts itself, the silent installation is looked at for any top-level
// window of its process, hidden ones too.
TEST(Unattended, NoWindowWhileASilentInstallationRunsAndItsLogHasEveryStep) {
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  ASSERT_TRUE(CreateDirectoryA("C:\\Setup Logs", nullptr));
  SetupProcess run;
  ASSERT_TRUE(LaunchSetupWith(run, DownloadedSetup, "", CREATE_SUSPENDED, "/S \"/LOG=C:\\Setup Logs\\q.log\""));
  MessageHold hold;
  ASSERT_TRUE(BeginHold(run, KindHoldStep, hold));
  ResumeThread(run.thread);
  WindowSearch search = {run.processId, {}};
  int holds = 0;
  while (WaitForHold(run, hold, LongWaitMs)) {
    ++holds;
    EnumWindows(NoteProcessWindow, reinterpret_cast<LPARAM>(&search));
    ReleaseHold(hold);
  }
  EndHold(hold);
  DWORD code = ~0u;
  EXPECT_TRUE(WaitForExit(run, LongWaitMs, &code));
  EndSetup(run);
  EXPECT_EQ(code, 0u);
  EXPECT_GT(holds, 0) << "no step was held";
  EXPECT_TRUE(search.found.empty()) << testing::PrintToString(search.found);
  std::string log;
  ReadWholeFile("C:\\Setup Logs\\q.log", log);
  EXPECT_EQ(log,
            "Partially Installed\r\nCopying  kavriset.exe\r\n"
            "Copying  Kavri1.DAT\r\nVerifying integrity of  Kavri1.DAT\r\n"
            "Copying  Kavri0.DAT\r\nVerifying integrity of  Kavri0.DAT\r\n"
            "Copying  Kavri.exe\r\nVerifying integrity of  Kavri.exe\r\n"
            "Installed\r\n");
  ExpectInstalledFiles(DefaultInstallFolder);
}

// Without /S the arguments fill the fields; one the program does not know is named first.
TEST(Unattended, ArgumentsPresetTheDialogAfterNamingAnUnknownOne) {
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  SetupProcess setup;
  ASSERT_TRUE(LaunchSetupWith(setup, DownloadedSetup, "", 0, "/G=Reading /Quiet /D=C:\\My Books"));
  MessageBoxSeen box;
  ASSERT_TRUE(WaitForMessageBox(setup, box));
  EXPECT_EQ(box.caption, "/Quiet");
  EXPECT_EQ(box.text, "Known: /S /AllUsers /CurrentUser /G=<group> /LOG=<file> /D=<folder>");
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitForDialog(setup));
  EXPECT_EQ(ControlText(setup, IDC_GROUP), "Reading");
  EXPECT_EQ(ControlText(setup, IDC_FOLDER), "C:\\My Books");
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
  ExitSetup(setup);
  EndSetup(setup);
}

}  // namespace
