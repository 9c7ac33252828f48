// The build tools run as the build runs them: make_payload writes all of its outputs or none,
// leaves unchanged outputs untouched, and refuses what the installer could not use;
// make_sample_data is deterministic at the agreed sizes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include "install/crc32.h"
#include "tests/host/host_test_support.h"
#include "tools/szdd.h"

namespace {

const std::string Tools = QUORVEL_TOOLS_DIR;

int RunTool(const std::string& arguments) { return RunCommand(Tools + "/" + arguments + " 2> /dev/null"); }

std::string RunToolError(const std::string& arguments, const std::string& errorFile) {
  RunCommand(Tools + "/" + arguments + " 2> '" + errorFile + "'");
  return ReadText(errorFile);
}

void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end())); }

// A payload directory whose "viewer" compresses well.
void MakePayload(const TempDir& dir) {
  std::string viewer;
  for (int i = 0; i < 2000; ++i) viewer += "viewer code " + std::to_string(i % 50) + "\n";
  WriteText(dir / "Kavri.exe", viewer);
  WriteText(dir / "Kavri1.DAT", "pages of the publication");
  WriteText(dir / "Kavri0.DAT", "index");
}

long long ModifiedNanoseconds(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
}

TEST(MakePayload, WritesResourcesConstantsAndSizes) {
  TempDir in, out;
  MakePayload(in);
  ASSERT_EQ(RunTool("make_payload --payload-dir " + in.path() + " --out-dir " + out.path()), 0);

  std::vector<uint8_t> viewer = ReadBytes(in / "Kavri.exe");
  std::vector<uint8_t> stored = ReadBytes(out / "payload/Kavri.ex_");
  std::vector<uint8_t> expanded;
  ASSERT_TRUE(ExpandSzdd(stored.data(), stored.size(), expanded));
  EXPECT_TRUE(expanded == viewer);
  EXPECT_EQ(stored[9], 'e');
  EXPECT_TRUE(ReadBytes(out / "payload/Kavri1.DAT") == ReadBytes(in / "Kavri1.DAT"));
  EXPECT_TRUE(ReadBytes(out / "payload/Kavri0.DAT") == ReadBytes(in / "Kavri0.DAT"));

  std::string rc = ReadText(out / "payload_resources.rc");
  EXPECT_NE(rc.find("2000 256 \"" + out.path() + "/payload/Kavri1.DAT\"\n"), std::string::npos) << rc;
  EXPECT_NE(rc.find("2001 256 \"" + out.path() + "/payload/Kavri0.DAT\"\n"), std::string::npos) << rc;
  EXPECT_NE(rc.find("2002 256 \"" + out.path() + "/payload/Kavri.ex_\"\n"), std::string::npos) << rc;

  uint32_t viewerCrc = ~Crc32Update(Crc32Polynomial, 0xFFFFFFFFu, viewer.data(), viewer.size());
  char crcText[16];
  snprintf(crcText, sizeof crcText, "0x%08X", viewerCrc);
  std::string constants = ReadText(out / "payload_constants.h");
  EXPECT_EQ(constants.find("#pragma once"), constants.find('#'));
  EXPECT_NE(constants.find("#include <cstdint>"), std::string::npos);
  EXPECT_NE(constants.find("PayloadCrcViewer = " + std::string(crcText) + "u;"), std::string::npos) << constants;
  EXPECT_NE(constants.find("PayloadSizeKavri1 = 24u;"), std::string::npos);
  EXPECT_NE(constants.find("PayloadSizeKavri0 = 5u;"), std::string::npos);
  EXPECT_NE(constants.find("PayloadStoredSizeViewer = " + std::to_string(stored.size()) + "u;"), std::string::npos);
  EXPECT_NE(constants.find("PayloadExpandedSizeViewer = " + std::to_string(viewer.size()) + "u;"), std::string::npos);

  std::string sizes = ReadText(out / "payload_sizes.txt");
  EXPECT_NE(sizes.find("installed_total " + std::to_string(24 + 5 + viewer.size()) + "\n"), std::string::npos);
  EXPECT_NE(sizes.find("stored_size_2002 " + std::to_string(stored.size()) + "\n"), std::string::npos);
}

TEST(MakePayload, RewritesOnlyWhatChanged) {
  TempDir in, out;
  MakePayload(in);
  std::string command = "make_payload --payload-dir " + in.path() + " --out-dir " + out.path();
  ASSERT_EQ(RunTool(command), 0);
  long long constantsTime = ModifiedNanoseconds(out / "payload_constants.h");
  long long dataTime = ModifiedNanoseconds(out / "payload/Kavri0.DAT");
  long long rcTime = ModifiedNanoseconds(out / "payload_resources.rc");
  WriteText(in / "Kavri1.DAT", "other pages of the publication");
  ASSERT_EQ(RunTool(command), 0);
  EXPECT_NE(ModifiedNanoseconds(out / "payload_constants.h"), constantsTime);
  EXPECT_EQ(ModifiedNanoseconds(out / "payload/Kavri0.DAT"), dataTime);
  EXPECT_EQ(ModifiedNanoseconds(out / "payload_resources.rc"), rcTime);
  EXPECT_EQ(ReadText(out / "payload/Kavri1.DAT"), "other pages of the publication");
}

TEST(MakePayload, MissingInputNamesTheFileAndWritesNothing) {
  for (const char* missing : {"Kavri.exe", "Kavri1.DAT", "Kavri0.DAT"}) {
    TempDir in, out;
    MakePayload(in);
    std::remove((in / missing).c_str());
    std::string error = RunToolError("make_payload --payload-dir " + in.path() + " --out-dir " + out.path() + "/gen",
                                     in / "error.txt");
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(RunTool("make_payload --payload-dir " + in.path() + " --out-dir " + out.path() + "/gen"), 1);
    EXPECT_FALSE(std::filesystem::exists(out / "gen")) << missing;
  }
}

TEST(MakePayload, RefusesAViewerThatDoesNotShrinkAndAQuotedPath) {
  TempDir in, out;
  MakePayload(in);
  // Random bytes do not shrink: find a length whose SZDD form is exactly as long as the input.
  std::vector<uint8_t> viewer;
  uint32_t seed = 12345;
  for (size_t size = 0; size < 200; ++size) {
    seed = seed * 1103515245u + 12345u;
    viewer.push_back(uint8_t(seed >> 16));
  }
  std::vector<uint8_t> packed;
  CompressSzdd(viewer.data(), viewer.size(), SzddOptions(), packed);
  for (int i = 0; i < 1000 && packed.size() != viewer.size(); ++i) {
    viewer.insert(viewer.begin(), ' ');  // a leading space adds less than a byte once packed
    CompressSzdd(viewer.data(), viewer.size(), SzddOptions(), packed);
  }
  ASSERT_EQ(packed.size(), viewer.size());
  WriteBytes(in / "Kavri.exe", viewer);
  std::string error = RunToolError("make_payload --payload-dir " + in.path() + " --out-dir " + out.path(), in / "e.txt");
  EXPECT_NE(error.find("exactly as long"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(out / "payload_constants.h"));

  MakePayload(in);
  std::filesystem::create_directory(out / "a\"b");
  EXPECT_EQ(RunTool("make_payload --payload-dir " + in.path() + " --out-dir '" + out.path() + "/a\"b'"), 1);
}

TEST(MakeSampleData, IsDeterministicAtTheAgreedSizes) {
  TempDir a, b;
  ASSERT_EQ(RunTool("make_sample_data " + a.path()), 0);
  ASSERT_EQ(RunTool("make_sample_data " + b.path()), 0);
  EXPECT_EQ(ReadBytes(a / "Kavri1.DAT").size(), 76398u);
  EXPECT_EQ(ReadBytes(a / "Kavri0.DAT").size(), 12941u);
  EXPECT_TRUE(ReadBytes(a / "Kavri1.DAT") == ReadBytes(b / "Kavri1.DAT"));
  EXPECT_TRUE(ReadBytes(a / "Kavri0.DAT") == ReadBytes(b / "Kavri0.DAT"));
}

}  // namespace
