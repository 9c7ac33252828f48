// The command line as the program reads it, and the winget manifest in docs/ against it: the
// manifest's switches must be read by the program as meant, and its return codes must be the
// program's exit codes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "app/command_line.h"

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  bool understood;
  bool silent;
  const char* folder;  // nullptr: not given
  const char* group;
  const char* log;
  const char* refused;
};

const std::string Long(size_t count) { return std::string(count, 'a'); }
const std::string FullFolder = "C:\\" + Long(192);  // what the folder field holds at most

const ParseCase ParseCases[] = {
    {"NoArguments", "setup.exe", true, false, nullptr, nullptr, nullptr, ""},
    {"QuotedProgramName", "\"C:\\Program Files\\xan\\kavriset.exe\" /S", true, true, nullptr, nullptr, nullptr, ""},
    {"FolderToTheLineEndWithSpaces", "setup.exe /S /D=C:\\Program Files\\My Books  ", true, true,
     "C:\\Program Files\\My Books  ", nullptr, nullptr, ""},
    {"QuotedFolderEndingInABackslash", "setup.exe /D=\"C:\\x y\\\"", true, false, "C:\\x y\\", nullptr, nullptr, ""},
    {"QuotedWholeAndQuotedValue", "setup.exe /S \"/LOG=C:\\Setup Logs\\q.log\" /G=\"My Group\"", true, true, nullptr,
     "My Group", "C:\\Setup Logs\\q.log", ""},
    {"EmptyGroup", "setup.exe\t/G= /S", true, true, nullptr, "", nullptr, ""},
    {"UnknownBeforeSilent", "setup.exe /X /S", false, true, nullptr, nullptr, nullptr, "/X"},
    {"NamesAsWritten", "setup.exe /s", false, false, nullptr, nullptr, nullptr, "/s"},
    {"NoPrefixOfAName", "setup.exe /Silent", false, false, nullptr, nullptr, nullptr, "/Silent"},
    {"GroupIsOneWord", "setup.exe /G=a b", false, false, nullptr, "a", nullptr, "b"},
    {"FolderTooLongForTheField", "setup.exe /S /D=C:\\" + Long(193), false, true, nullptr, nullptr, nullptr, nullptr},
    {"FolderThatFillsTheField", "setup.exe /D=" + FullFolder, true, false, FullFolder.c_str(), nullptr, nullptr, ""},
    {"LogLongerThanAnyBuffer", "setup.exe /LOG=" + Long(600) + " /S", false, true, nullptr, nullptr, nullptr, nullptr},
    {"EmptyQuotedArgument", "setup.exe \"\"", false, false, nullptr, nullptr, nullptr, ""},
};

class CommandLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, ReadsWhatWasMeant) {
  const ParseCase& c = GetParam();
  CommandLine line = {};
  EXPECT_EQ(ParseCommandLine(c.text.c_str(), &line), c.understood);
  EXPECT_EQ(line.given[KindSilentArgument], c.silent);
  EXPECT_EQ(line.given[KindLogArgument], c.log != nullptr);
  EXPECT_STREQ(line.logPath, c.log ? c.log : "");
  if (c.group) {
    EXPECT_STREQ(line.group, c.group);
  }
  EXPECT_EQ(line.given[KindFolderArgument], c.folder != nullptr);
  if (c.folder) {
    EXPECT_STREQ(line.folder, c.folder);
  }
  if (c.refused) {
    EXPECT_STREQ(line.refused, c.refused);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineParse, testing::ValuesIn(ParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

// The message about an argument not understood lists every row, and nothing else.
TEST(CommandLineTable, TheListOfKnownArgumentsNamesEveryRow) {
  std::istringstream listed(KnownArguments);
  std::string word;
  listed >> word;  // "Known:"
  size_t rows = 0;
  for (; listed >> word; ++rows) {
    ASSERT_LT(rows, ArgumentRowCount) << word;
    EXPECT_EQ(word.substr(0, word.find('<')), ArgumentRows[rows].name);
  }
  EXPECT_EQ(rows, ArgumentRowCount);
}

std::string ReadSource(const std::string& path) {
  std::ifstream file(std::string(QUORVEL_SOURCE_DIR) + "/" + path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The manifest's "Key: value" lines, without indentation or list dashes; a key seen twice keeps
// every value in order.
std::multimap<std::string, std::string> ReadManifest() {
  std::multimap<std::string, std::string> keys;
  std::istringstream text(ReadSource("docs/winget-Norvane.Quorvel.yaml"));
  for (std::string line; std::getline(text, line);) {
    size_t start = line.find_first_not_of(" -");
    if (start == std::string::npos || line[start] == '#') continue;
    size_t colon = line.find(':', start);
    if (colon == std::string::npos) continue;
    std::string value = colon + 1 < line.size() ? line.substr(line.find_first_not_of(' ', colon + 1)) : "";
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') value = value.substr(1, value.size() - 2);
    keys.emplace(line.substr(start, colon - start), value);
  }
  return keys;
}

std::string One(const std::multimap<std::string, std::string>& keys, const char* key) {
  auto found = keys.find(key);
  return found == keys.end() ? "<missing>" : found->second;
}

TEST(WingetManifest, HasTheSchemasRequiredFieldsAndTheUninstallEntrysName) {
  auto keys = ReadManifest();
  ASSERT_FALSE(keys.empty()) << "docs/winget-Norvane.Quorvel.yaml not found";
  // The singleton schema's required keys, at the top level, and an installer's.
  const std::string text = "\n" + ReadSource("docs/winget-Norvane.Quorvel.yaml");
  for (const char* key : {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                          "License", "ShortDescription", "Installers", "ManifestType", "ManifestVersion"})
    EXPECT_NE(text.find("\n" + std::string(key) + ":"), std::string::npos) << key;
  // One installer for each scope.
  for (const char* key : {"Architecture", "InstallerUrl", "InstallerSha256", "Scope"}) EXPECT_EQ(keys.count(key), 2u) << key;
  EXPECT_EQ(One(keys, "ManifestType"), "singleton");
  EXPECT_EQ(One(keys, "ManifestVersion"), "1.6.0");
  EXPECT_EQ(One(keys, "InstallerType"), "exe");
  EXPECT_EQ(One(keys, "InstallerSha256").find_first_not_of("0123456789ABCDEFabcdef"), std::string::npos);
  EXPECT_EQ(One(keys, "InstallerSha256").size(), 64u);
  EXPECT_EQ(One(keys, "PackageVersion"), "1.740");
  // The uninstall entry's key is named after the publication.
  EXPECT_NE(ReadSource("install/setup_state.cpp").find("PublicationTitle = \"" + One(keys, "ProductCode") + "\""),
            std::string::npos);
}

TEST(WingetManifest, SwitchesAreReadByTheProgramAsMeant) {
  auto keys = ReadManifest();
  for (const char* key : {"Silent", "SilentWithProgress"}) {
    CommandLine line = {};
    EXPECT_TRUE(ParseCommandLine(("setup.exe " + One(keys, key)).c_str(), &line)) << key;
    EXPECT_TRUE(line.given[KindSilentArgument]) << key;
  }
  // As winget passes them: the silent switch, the log, the folder last.
  std::string log = One(keys, "Log"), location = One(keys, "InstallLocation");
  log.replace(log.find("<LOGPATH>"), 9, "\"C:\\Users\\A B\\winget.log\"");
  location.replace(location.find("<INSTALLPATH>"), 13, "C:\\Program Files\\Quorvel Books");
  CommandLine line = {};
  ASSERT_TRUE(ParseCommandLine(("setup.exe " + One(keys, "Silent") + " " + log + " " + location).c_str(), &line));
  EXPECT_STREQ(line.logPath, "C:\\Users\\A B\\winget.log");
  EXPECT_STREQ(line.folder, "C:\\Program Files\\Quorvel Books");
}

// Each installer's custom switch asks for its own scope, and only for it.
TEST(WingetManifest, EachScopesSwitchAsksForThatScope) {
  auto keys = ReadManifest();
  auto scopes = keys.equal_range("Scope");
  auto customs = keys.equal_range("Custom");
  ASSERT_EQ(std::distance(scopes.first, scopes.second), std::distance(customs.first, customs.second));
  std::map<std::string, ArgumentKind> wanted = {{"machine", KindAllUsersArgument}, {"user", KindCurrentUserArgument}};
  for (auto scope = scopes.first, custom = customs.first; scope != scopes.second; ++scope, ++custom) {
    ASSERT_EQ(wanted.count(scope->second), 1u) << scope->second;
    CommandLine line = {};
    ASSERT_TRUE(ParseCommandLine(("setup.exe /S " + custom->second).c_str(), &line)) << custom->second;
    EXPECT_TRUE(line.given[wanted[scope->second]]) << scope->second;
    EXPECT_NE(line.given[KindAllUsersArgument], line.given[KindCurrentUserArgument]) << scope->second;
    wanted.erase(scope->second);
  }
  EXPECT_TRUE(wanted.empty());
}

TEST(WingetManifest, ReturnCodesAreTheProgramsExitCodes) {
  auto keys = ReadManifest();
  std::map<std::string, std::string> responses;
  auto codes = keys.equal_range("InstallerReturnCode");
  auto answers = keys.equal_range("ReturnResponse");
  for (auto code = codes.first, answer = answers.first; code != codes.second && answer != answers.second; ++code, ++answer)
    responses[code->second] = answer->second;
  const std::map<std::string, std::string> expected = {
      {std::to_string(ExitArgumentsRefused), "invalidParameter"},
      {std::to_string(ExitFilesInUse), "packageInUse"},
      {std::to_string(ExitAlreadyRunning), "installInProgress"}};
  EXPECT_EQ(responses, expected);
}

}  // namespace
