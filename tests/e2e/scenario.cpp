// Shared end-to-end steps and checks; see scenario.h.
#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/wine/wine_test_support.h"

const PayloadFacts& Payload() {
  static PayloadFacts facts;
  if (facts.installer.empty()) {
    ReadWholeFile(WindowsPathOf(QUORVEL_SETUP_EXE), facts.installer);
    ResourceSpan span;
    if (FindPayloadResource(facts.installer, 2000, span)) facts.copySize = span.position;
    if (FindPayloadResource(facts.installer, 2001, span)) facts.kavri0Data = span.position;
  }
  return facts;
}

std::string CutInstaller(const std::string& installer, uint32_t length) {
  std::string cut = installer.substr(0, length);
  uint32_t nt;
  std::memcpy(&nt, cut.data() + 0x3C, 4);
  uint16_t sections, optionalSize;
  std::memcpy(&sections, cut.data() + nt + 6, 2);
  std::memcpy(&optionalSize, cut.data() + nt + 20, 2);
  size_t last = nt + 24 + optionalSize + 40 * (sections - 1);
  uint32_t rawPointer, rawSize;
  std::memcpy(&rawPointer, cut.data() + last + 20, 4);
  std::memcpy(&rawSize, cut.data() + last + 16, 4);
  if (length < rawPointer + rawSize) {
    rawSize = length - rawPointer;
    std::memcpy(&cut[last + 16], &rawSize, 4);
  }
  return cut;
}

std::string InFolder(const std::string& folder, const char* name) {
  std::string path = folder;
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + name;
}

std::string ProgramGroupFolder(const std::string& group, bool forOneUser) {
  return SpecialFolder(forOneUser ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) + "\\" + group;
}

std::string OneUserFolder() { return SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\xan"; }
std::string OneUserSettingsFile() { return SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\kavri.ini"; }

bool InstallInto(const SetupProcess& setup, const std::string& folder) {
  if (folder != DefaultInstallFolder) TypeText(setup, IDC_FOLDER, folder);
  MessageBoxSeen box;
  InstallEnd end = RunInstallation(setup, box);
  EXPECT_EQ(end, KindInstallCompleted) << "message box \"" << box.caption << "\": " << box.text;
  return end == KindInstallCompleted;
}

void ExpectInstalledFiles(const std::string& folder) {
  struct Expected {
    const char* name;
    int64_t size;
    uint32_t crc;
  };
  const Expected files[] = {
      {"Kavri1.DAT", PayloadSizeKavri1, PayloadCrcKavri1},
      {"Kavri0.DAT", PayloadSizeKavri0, PayloadCrcKavri0},
      {"Kavri.exe", PayloadExpandedSizeViewer, PayloadCrcViewer},
  };
  for (const Expected& file : files) {
    std::string path = InFolder(folder, file.name);
    uint32_t crc = 0;
    EXPECT_EQ(FileSize(path), file.size) << path;
    EXPECT_TRUE(FileCrc32(path, crc)) << path;
    EXPECT_EQ(crc, file.crc) << path;
  }
  std::string copy = InFolder(folder, "kavriset.exe");
  const uint32_t copySize = Payload().copySize;
  ASSERT_NE(copySize, 0u);
  std::string copyBytes;
  ASSERT_TRUE(ReadWholeFile(copy, copyBytes));
  // Only the headers are patched; everything after them is the installer's own bytes, then, from
  // a signed installer, the certificate table that the security directory names.
  const size_t headers = 1024;
  ASSERT_GT(copyBytes.size(), headers);
  uint32_t nt, table;
  std::memcpy(&nt, copyBytes.data() + 0x3C, 4);
  std::memcpy(&table, copyBytes.data() + nt + 24 + 132, 4);
  EXPECT_EQ(FileSize(copy), int64_t(copySize) + table) << copy;
  EXPECT_TRUE(copyBytes.compare(headers, copySize - headers, Payload().installer, headers, copySize - headers) == 0)
      << "the uninstaller copy differs from the installer after its headers";
  EXPECT_TRUE(FileExists(InFolder(folder, "KavriL.dat")));
  EXPECT_FALSE(FileExists(InFolder(folder, "Kavri.ex_"))) << "the expansion's temporary file stayed";
}

void ExpectRegistration(const std::string& folder, const std::string& group, bool forOneUser) {
  const HKEY root = forOneUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  const std::string settings = forOneUser ? OneUserSettingsFile() : IniName;
  const std::string copy = InFolder(folder, "kavriset.exe");
  const std::pair<const char*, std::string> strings[] = {
      {"DisplayName", "Quorvel"},       {"UninstallString", "\"" + copy + "\""}, {"InstallLocation", folder},
      {"QuietUninstallString", "\"" + copy + "\" /S"},
      {"Publisher", "Norvane"},         {"DisplayIcon", copy + ",0"},             {"DisplayVersion", "1.740"}};
  for (const auto& [name, expected] : strings) {
    std::string text;
    EXPECT_TRUE(ReadRegistryString(root, UninstallKey, name, text)) << name << " is no REG_SZ";
    EXPECT_EQ(text, expected) << name;
  }
  // What the folder holds after installing, in KiB rounded up.
  int64_t installedBytes = FileSize(copy) + PayloadSizeKavri1 + PayloadSizeKavri0 +
                           PayloadExpandedSizeViewer + FileSize(InFolder(folder, "KavriL.dat"));
  const std::pair<const char*, DWORD> numbers[] = {{"VersionMajor", 1},
                                                   {"VersionMinor", 740},
                                                   {"EstimatedSize", DWORD((installedBytes + 1023) / 1024)},
                                                   {"NoModify", 1},
                                                   {"NoRepair", 1}};
  for (const auto& [name, expected] : numbers) {
    DWORD number = 0;
    EXPECT_TRUE(ReadRegistryDword(root, UninstallKey, name, number)) << name << " is no REG_DWORD";
    EXPECT_EQ(number, expected) << name;
  }
  std::vector<std::string> values = ListRegistry(root, UninstallKey);
  EXPECT_EQ(std::count_if(values.begin(), values.end(),
                          [](const std::string& line) { return line.find(": ") != std::string::npos; }),
            12)
      << testing::PrintToString(values);

  EXPECT_EQ(SettingsValue("Installed", "Group", settings), group);
  EXPECT_EQ(SettingsValue("Installed", "Folder", settings), folder);
  // Where the group went: with no group there is nothing to record.
  if (group.empty()) return;
  EXPECT_EQ(SettingsValue("Installed", "AllUsers", settings), forOneUser ? "0" : "1");
  std::string link = ProgramGroupFolder(group, forOneUser) + "\\Quorvel.lnk";
  ASSERT_TRUE(FileExists(link)) << link;
  EXPECT_STRCASEEQ(ShortcutTarget(link).c_str(), InFolder(folder, "Kavri.exe").c_str());
}

void ExpectCompletedDialog(const SetupProcess& setup) {
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "&Open");
  EXPECT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  EXPECT_FALSE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
  EXPECT_FALSE(ControlEnabled(setup, IDC_FOLDER));
  EXPECT_FALSE(ControlEnabled(setup, IDC_GROUP));
}

void ExpectInstallMessage(const SetupProcess& setup, const std::string& text, const std::string& caption) {
  MessageBoxSeen box;
  ASSERT_EQ(RunInstallation(setup, box), KindInstallMessage) << "no message box";
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.caption, caption);
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !FindMessageBox(setup, box); }, ShortWaitMs))
      << "still shown: \"" << box.text << "\" captioned " << box.caption;
}

// A failed step stops the installation only once its message box has gone, so the dialog is
// given a moment to show the stopped state before it is read.
void ExpectStoppedDialog(const SetupProcess& setup) {
  EXPECT_TRUE(WaitForControlText(setup, IDC_STATUS, "Partially Installed"))
      << "status \"" << ControlText(setup, IDC_STATUS) << "\"";
  EXPECT_TRUE(WaitUntil([&] { return ControlEnabled(setup, IDC_INSTALL); }, ShortWaitMs));
  EXPECT_EQ(ControlText(setup, IDC_EXIT_OPEN), "E&xit");
  EXPECT_TRUE(ControlEnabled(setup, IDC_INSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_UNINSTALL));
  EXPECT_TRUE(ControlEnabled(setup, IDC_EXIT_OPEN));
  EXPECT_FALSE(ControlEnabled(setup, IDC_FOLDER));
}

void ExitSetup(SetupProcess& setup) {
  ClickButton(setup, IDC_EXIT_OPEN);
  DWORD code = STILL_ACTIVE;
  EXPECT_TRUE(WaitForExit(setup, ShortWaitMs, &code)) << "the installer did not end";
  EXPECT_EQ(code, 0u);
}
