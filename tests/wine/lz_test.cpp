// The LZ32 reader as the step machine uses it: Wine's lz32 expands the build's SZDD viewer exactly,
// passes plain files through, and gives its handles back when closed.
#include <gtest/gtest.h>
#include <vector>
#include "platform/platform.h"
#include "tests/wine/installer_image.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::string StoredViewer = WindowsPathOf(QUORVEL_GENERATED_DIR "/payload/Kavri.ex_");
const std::string PlainViewer = WindowsPathOf(QUORVEL_VIEWER_EXE);
const std::string PlainData = WindowsPathOf(QUORVEL_GENERATED_DIR "/payload/Kavri1.DAT");

// Opens a reader, seeks to the end for the size, rewinds and expands in 8192-byte reads, as the
// installation's expansion steps do.
std::vector<unsigned char> ExpandThroughReader(const std::string& path, long* sizeSeen) {
  FileHandle source = OpenForRead(path.c_str());
  EXPECT_NE(NoFile, source);
  LzHandle reader = OpenLzReader(source);
  EXPECT_GE(reader, 0);
  *sizeSeen = SeekLz(reader, 0, 2);
  FileHandle output = CreateForWrite("C:\\expanded.bin");
  EXPECT_NE(NoFile, output);
  EXPECT_EQ(0, SeekLz(reader, 0, 0));
  long copied = 0;
  std::vector<unsigned char> chunk(8192);
  for (long read; (read = ReadLz(reader, chunk.data(), 8192)) > 0; copied += read)
    EXPECT_EQ(read, WriteBlock(output, chunk.data(), static_cast<uint32_t>(read)));
  CloseLz(reader);
  CloseFile(output);
  EXPECT_EQ(*sizeSeen, copied);
  return ReadWholeFile("C:\\expanded.bin");
}

TEST(LzReader, ExpandsTheBuildsSzddViewerExactly) {
  std::vector<unsigned char> expected = ReadWholeFile(PlainViewer);
  std::vector<unsigned char> stored = ReadWholeFile(StoredViewer);
  ASSERT_FALSE(expected.empty());
  ASSERT_GT(stored.size(), 14u);
  ASSERT_EQ(0, memcmp(stored.data(), "SZDD\x88\xF0\x27\x33", 8));
  long sizeSeen = 0;
  std::vector<unsigned char> expanded = ExpandThroughReader(StoredViewer, &sizeSeen);
  EXPECT_EQ(static_cast<long>(expected.size()), sizeSeen);
  EXPECT_NE(static_cast<long>(stored.size()), sizeSeen);
  EXPECT_TRUE(expanded == expected) << "expanded " << expanded.size() << " bytes, expected " << expected.size();
}

TEST(LzReader, PassesAPlainFileThroughAtItsOwnSize) {
  std::vector<unsigned char> plain = ReadWholeFile(PlainData);
  ASSERT_FALSE(plain.empty());
  long sizeSeen = 0;
  std::vector<unsigned char> copied = ExpandThroughReader(PlainData, &sizeSeen);
  EXPECT_EQ(static_cast<long>(plain.size()), sizeSeen);
  EXPECT_TRUE(copied == plain);
}

TEST(LzReader, ReadsExpandedChunksAndCanSeekBack) {
  std::vector<unsigned char> expected = ReadWholeFile(PlainViewer);
  ASSERT_GT(expected.size(), 3u * 8192);
  FileHandle source = OpenForRead(StoredViewer.c_str());
  LzHandle reader = OpenLzReader(source);
  ASSERT_GE(reader, 0);
  std::vector<unsigned char> chunk(8192);
  EXPECT_EQ(8192, ReadLz(reader, chunk.data(), 8192));
  EXPECT_EQ(0, memcmp(chunk.data(), expected.data(), 8192));
  EXPECT_EQ(8192, ReadLz(reader, chunk.data(), 8192));
  EXPECT_EQ(0, memcmp(chunk.data(), expected.data() + 8192, 8192));
  EXPECT_EQ(100, SeekLz(reader, 100, 0));
  EXPECT_EQ(8192, ReadLz(reader, chunk.data(), 8192));
  EXPECT_EQ(0, memcmp(chunk.data(), expected.data() + 100, 8192));
  CloseLz(reader);
}

// Wine holds at most 16 readers; every file of an installation opens one or two.
TEST(LzReader, ClosingGivesReadersBack) {
  for (int i = 0; i < 40; ++i) {
    LzHandle reader = OpenLzReader(OpenForRead(StoredViewer.c_str()));
    ASSERT_GE(reader, 0) << "reader " << i;
    CloseLz(reader);
  }
  EXPECT_LT(OpenLzReader(NoFile), 0);
}

}  // namespace
