// A publisher builds the installer around a payload directory of their own: an incomplete or
// unusable directory must stop the build with an error naming the file and leave no installer of an
// earlier build behind, and a relative directory means one below where the build was started.
#include <gtest/gtest.h>
#include <filesystem>
#include "tests/host/host_test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string SourceRoot = fs::path(__FILE__).parent_path().parent_path().parent_path().string();
const std::string Tools = QUORVEL_TOOLS_DIR;
const char* const StaleOutputs[] = {"quorvel-setup.exe", "quorvel-setup-pass1.exe", "layout.txt"};

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void MakeCompletePayload(const std::string& dir) {
  fs::create_directories(dir);
  std::string viewer;
  for (int i = 0; i < 500; ++i) viewer += "viewer code " + std::to_string(i % 20) + "\n";
  WriteText(dir + "/Kavri.exe", viewer);
  WriteText(dir + "/Kavri1.DAT", "pages");
  WriteText(dir + "/Kavri0.DAT", "index");
}

// CMake wraps its messages at word boundaries; compare them with every run of white space as one.
std::string ReadMessages(const std::string& path) {
  std::string text, raw = ReadText(path);
  for (char c : raw) {
    bool space = c == ' ' || c == '\n' || c == '\t';
    if (!space) text += c;
    else if (!text.empty() && text.back() != ' ') text += ' ';
  }
  return text;
}

// What a finished earlier build left in the build directory.
void PlaceEarlierInstaller(const std::string& buildDir) {
  fs::create_directories(buildDir);
  for (const char* name : StaleOutputs) WriteText(buildDir + "/" + name, "from an earlier build");
}

bool AnyEarlierInstallerLeft(const std::string& buildDir) {
  for (const char* name : StaleOutputs)
    if (fs::exists(buildDir + "/" + name)) return true;
  return false;
}

// Runs the build's payload step as the build runs it; its messages land in messageFile.
int RunPackStep(const std::string& payloadDir, const std::string& outDir, const std::string& buildDir,
                const std::string& messageFile) {
  return RunCommand("cmake '-DPAYLOAD_DIR=" + payloadDir + "' '-DOUT_DIR=" + outDir + "' '-DMAKE_PAYLOAD=" + Tools +
                    "/make_payload' '-DBUILD_DIR=" + buildDir + "' -P '" + SourceRoot +
                    "/payload/pack_payload.cmake' > '" + messageFile + "' 2>&1");
}

TEST(PackPayloadStep, MissingFileIsNamedAndTheEarlierInstallerRemoved) {
  for (const char* missing : {"Kavri.exe", "Kavri1.DAT", "Kavri0.DAT"}) {
    TempDir work;
    MakeCompletePayload(work / "payload");
    fs::remove(work / "payload/" + missing);
    PlaceEarlierInstaller(work / "build");
    EXPECT_NE(RunPackStep(work / "payload", work / "build/generated", work / "build", work / "messages"), 0);
    std::string messages = ReadMessages(work / "messages");
    EXPECT_NE(messages.find("Payload file missing: " + work.path() + "/payload/" + missing), std::string::npos)
        << messages;
    EXPECT_FALSE(AnyEarlierInstallerLeft(work / "build")) << missing;
    EXPECT_FALSE(fs::exists(work / "build/generated/payload_resources.rc")) << missing;
  }
}

TEST(PackPayloadStep, DirectoryInPlaceOfAFileOrNoDirectoryIsRefused) {
  TempDir work;
  MakeCompletePayload(work / "payload");
  fs::remove(work / "payload/Kavri1.DAT");
  fs::create_directory(work / "payload/Kavri1.DAT");
  PlaceEarlierInstaller(work / "build");
  EXPECT_NE(RunPackStep(work / "payload", work / "build/generated", work / "build", work / "messages"), 0);
  EXPECT_NE(ReadMessages(work / "messages").find("/payload/Kavri1.DAT"), std::string::npos);
  EXPECT_FALSE(AnyEarlierInstallerLeft(work / "build"));

  PlaceEarlierInstaller(work / "build");
  EXPECT_NE(RunPackStep(work / "absent", work / "build/generated", work / "build", work / "messages"), 0);
  EXPECT_NE(ReadMessages(work / "messages").find(work / "absent"), std::string::npos);
  EXPECT_FALSE(AnyEarlierInstallerLeft(work / "build"));
}

TEST(PackPayloadStep, FailureInsideThePackerAlsoRemovesTheEarlierInstaller) {
  TempDir work;
  MakeCompletePayload(work / "payload");
  PlaceEarlierInstaller(work / "build");
  // The generated directory cannot be made under a plain file.
  WriteText(work / "build/generated", "");
  EXPECT_NE(RunPackStep(work / "payload", work / "build/generated", work / "build", work / "messages"), 0);
  std::string messages = ReadMessages(work / "messages");
  EXPECT_NE(messages.find("make_payload: cannot create"), std::string::npos) << messages;
  EXPECT_NE(messages.find("no installer was built"), std::string::npos) << messages;
  EXPECT_FALSE(AnyEarlierInstallerLeft(work / "build"));
}

TEST(PackPayloadStep, CompletePayloadIsPackedAndTheInstallerLeftForTheLink) {
  TempDir work;
  MakeCompletePayload(work / "payload");
  PlaceEarlierInstaller(work / "build");
  ASSERT_EQ(RunPackStep(work / "payload", work / "build/generated", work / "build", work / "messages"), 0)
      << ReadMessages(work / "messages");
  EXPECT_TRUE(fs::exists(work / "build/generated/payload_constants.h"));
  EXPECT_EQ(ReadText(work / "build/generated/payload/Kavri1.DAT"), "pages");
  EXPECT_TRUE(fs::exists(work / "build/quorvel-setup.exe"));
}

// The Windows part configured as scripts/build.sh configures it, from a directory of the publisher's
// own, with the payload named relative to it.
int ConfigureFrom(const std::string& callerDir, const std::string& buildDir, const std::string& payloadOption,
                  const std::string& messageFile) {
  return RunCommand("cd '" + callerDir + "' && cmake -S '" + SourceRoot + "' -B '" + buildDir +
                    "' '-DCMAKE_TOOLCHAIN_FILE=" + SourceRoot + "/cmake/mingw-i686.cmake' '-DQUORVEL_HOST_BIN=" +
                    Tools + "' '" + payloadOption + "' > '" + messageFile + "' 2>&1");
}

TEST(PublisherConfigure, RelativePayloadDirectoryIsCheckedAndKeptAbsolute) {
  TempDir work;
  fs::create_directories(work / "publisher");
  MakeCompletePayload(work / "publisher/release");
  fs::remove(work / "publisher/release/Kavri0.DAT");
  PlaceEarlierInstaller(work / "build");

  // A typed option arrives unresolved; an untyped one CMake resolves itself. Both must work.
  EXPECT_NE(ConfigureFrom(work / "publisher", work / "build", "-DQUORVEL_PAYLOAD_DIR:PATH=release",
                          work / "messages"), 0);
  std::string messages = ReadMessages(work / "messages");
  EXPECT_NE(messages.find("Payload file missing: " + work.path() + "/publisher/release/Kavri0.DAT"),
            std::string::npos) << messages;
  EXPECT_FALSE(AnyEarlierInstallerLeft(work / "build"));

  MakeCompletePayload(work / "publisher/release");
  ASSERT_EQ(ConfigureFrom(work / "publisher", work / "build", "-DQUORVEL_PAYLOAD_DIR=release", work / "messages"), 0)
      << ReadMessages(work / "messages");
  std::string cache = ReadText(work / "build/CMakeCache.txt");
  EXPECT_NE(cache.find("QUORVEL_PAYLOAD_DIR:PATH=" + work.path() + "/publisher/release\n"), std::string::npos);
}

}  // namespace
