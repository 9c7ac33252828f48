// The uninstaller copy made from the real built installer: header fields patched chunk by chunk,
// cut at resource 2000's data, and the copy runs, finds no payload and offers no Install.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include "install/self_copy.h"
#include "install/setup_state.h"
#include "platform/image.h"
#include "tests/wine/installer_image.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/wine_test_support.h"

namespace {

class SelfCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    file = ReadWholeFile(WindowsPathOf(QUORVEL_SETUP_EXE));
    ASSERT_GT(file.size(), 8192u);
    image = MapImageFile(file);
    SetOwnImage(image.data());
    InspectOwnImage();
  }
  void TearDown() override { SetOwnImage(nullptr); }

  uint32_t PayloadPosition() {
    uint32_t rva = 0, size = 0;
    EXPECT_TRUE(FindResourceInImage(image.data(), 2000, 256, &rva, &size));
    return rva - setup.rvaToFileDelta;
  }

  // The copy as the step machine writes it: chunks of the program's file, each patched in turn.
  std::vector<unsigned char> MakeCopy() {
    uint32_t length = PayloadPosition();
    std::vector<unsigned char> copy;
    for (setup.chunkFileOffset = 0; setup.chunkFileOffset < length;) {
      uint32_t n = std::min<uint32_t>(ChunkSize, length - setup.chunkFileOffset);
      memcpy(setup.chunk, &file[setup.chunkFileOffset], n);
      PatchCopyHeader();
      copy.insert(copy.end(), setup.chunk, setup.chunk + n);
      setup.chunkFileOffset += n;
    }
    return copy;
  }

  std::vector<unsigned char> file, image;
};

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

TEST_F(SelfCopy, InstallerCarriesItsPayloadInTheLastSection) {
  HeaderPositions at = HeaderPositionsOf(file.data());
  uint32_t lastVirtualAddress = ReadLe32(&file[at.lastSection + 12]);
  EXPECT_TRUE(setup.payloadPresent);
  EXPECT_EQ(lastVirtualAddress - ReadLe32(&file[at.lastSection + 20]), setup.rvaToFileDelta);
  uint32_t rva = 0, size = 0;
  ASSERT_TRUE(FindResourceInImage(image.data(), 2000, 256, &rva, &size));
  EXPECT_EQ(rva - lastVirtualAddress, setup.truncatedSectionSize);
  // The payload and the copy's signature after it are the last thing in the file: at most the
  // section's file alignment padding follows.
  uint32_t lastRva = 0, lastSize = 0;
  ASSERT_TRUE(FindResourceInImage(image.data(), 2003, 256, &lastRva, &lastSize));
  uint32_t payloadEnd = lastRva - setup.rvaToFileDelta + lastSize;
  EXPECT_LE(payloadEnd, file.size());
  EXPECT_LT(file.size() - payloadEnd, ReadLe32(&file[HeaderPositionsOf(file.data()).optional + 36]));
  EXPECT_FALSE(FindResourceInImage(image.data(), 2004, 256, &rva, &size));
}

TEST_F(SelfCopy, PatchesExactlyTheHeaderFieldsOfTheCut) {
  std::vector<unsigned char> copy = MakeCopy();
  ASSERT_EQ(PayloadPosition(), copy.size());
  HeaderPositions at = HeaderPositionsOf(file.data());
  const uint32_t cut = setup.truncatedSectionSize;
  const uint32_t alignment = ReadLe32(&file[at.optional + 32]);
  const uint32_t shrink = AlignUp(ReadLe32(&file[at.lastSection + 8]), alignment) - AlignUp(cut, alignment);

  struct Field { uint32_t position; uint32_t value; };
  const Field fields[] = {
      {at.lastSection + 8, cut},                                  // VirtualSize
      {at.lastSection + 16, cut},                                 // SizeOfRawData
      {at.optional + 116, cut},                                   // resource directory size
      {at.optional + 56, ReadLe32(&file[at.optional + 56]) - shrink},  // SizeOfImage
      {at.optional + 8, ReadLe32(&file[at.optional + 8]) - shrink},    // SizeOfInitializedData
      {at.optional + 128, 0}, {at.optional + 132, 0},             // security directory
      {at.optional + 64, 0},                                      // CheckSum
  };
  std::vector<unsigned char> expected(file.begin(), file.begin() + copy.size());
  for (const Field& field : fields) memcpy(&expected[field.position], &field.value, 4);
  for (size_t i = 0; i < copy.size(); ++i) ASSERT_EQ(expected[i], copy[i]) << "byte " << i;
  EXPECT_EQ(ReadLe32(&copy[at.optional + 56]) % alignment, 0u);

  // The copy, mapped, reads as the same program without its payload.
  std::vector<unsigned char> copyImage = MapImageFile(copy);
  SetOwnImage(copyImage.data());
  InspectOwnImage();
  EXPECT_FALSE(setup.payloadPresent);
  EXPECT_EQ(cut, setup.truncatedSectionSize);
}

TEST_F(SelfCopy, PatchChunkFieldWritesOnlyInsideTheCurrentChunk) {
  memset(setup.chunk, 0xAA, ChunkSize);
  setup.chunkFileOffset = 8192;
  PatchChunkField(8192 + 10, 4, 0x11223344u);
  EXPECT_EQ(0x11223344u, ReadLe32(setup.chunk + 10));
  PatchChunkField(100, 4, 0);                 // before the chunk
  PatchChunkField(8192 + 8190, 4, 0);         // would cross the chunk's end
  PatchChunkField(16384, 4, 0);               // the next chunk
  for (unsigned i = 0; i < ChunkSize; ++i)
    if (i < 10 || i >= 14) {
      ASSERT_EQ(0xAA, setup.chunk[i]) << "byte " << i;
    }
}


TEST_F(SelfCopy, CopyRunsWithoutPayloadAndOffersNoInstall) {
  std::vector<unsigned char> copy = MakeCopy();
  CreateDirectoryA("C:\\Copy", nullptr);
  ASSERT_TRUE(WriteWholeFile("C:\\Copy\\kavriset.exe", copy.data(), copy.size()));

  // The title is set part-way through the dialog's initialisation and the window is shown only
  // after it: the driver waits for a visible window before the control state is read.
  dialog_driver::RunningSetup running;
  ASSERT_TRUE(running.Start("C:\\Copy\\kavriset.exe", "C:\\Copy")) << "the copy showed no dialog";
  ASSERT_NE(nullptr, GetDlgItem(running.dialog, 1));
  EXPECT_FALSE(running.Enabled(1));
  CloseDialogWindow(running);
  EXPECT_EQ(0, running.WaitForExit());
}

}  // namespace
