// The read-back check with known CRC-32 values, its failures, and the progress meter's arithmetic
// and drawing.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "install/integrity.h"
#include "install/progress_meter.h"
#include "install/setup_state.h"
#include "tests/wine/installer_image.h"

namespace {

struct CrcRow {
  std::vector<unsigned char> content;
  uint32_t crc;
};

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<unsigned char> Pattern(size_t size, unsigned factor, unsigned modulus) {
  std::vector<unsigned char> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(i * factor % modulus);
  return data;
}

bool VerifyContent(const std::vector<unsigned char>& content, uint32_t crc) {
  static PayloadEntry entry;
  entry = {KindFile, "probe.bin", crc};
  ResetSetupState();
  setup.cursor = &entry;
  EXPECT_TRUE(WriteWholeFile("C:\\probe.bin", content.data(), content.size()));
  CopyText(setup.workPath, "C:\\probe.bin");
  bool matched = VerifyFile();
  CloseFile(setup.outputFile);
  return matched;
}

TEST(VerifyFile, MatchesKnownCrcValuesAcrossChunkBoundaries) {
  const CrcRow rows[] = {
      {Bytes("123456789"), 0xCBF43926u},
      {Bytes(""), 0x00000000u},
      {Bytes("The quick brown fox jumps over the lazy dog"), 0x414FA339u},
      {Pattern(20000, 7, 251), 0xF89342E1u},   // two full chunks and a short one
      {Pattern(16384, 13, 256), 0x252DBFF5u},  // a multiple of the chunk: ends on a read of 0
  };
  for (const CrcRow& row : rows) {
    SCOPED_TRACE(row.content.size());
    EXPECT_TRUE(VerifyContent(row.content, row.crc));
    EXPECT_FALSE(VerifyContent(row.content, row.crc ^ 1));
  }
}

TEST(VerifyFile, FailsAFlippedBitAndAnUnopenableFile) {
  std::vector<unsigned char> data = Pattern(20000, 7, 251);
  data[12345] ^= 0x10;
  EXPECT_FALSE(VerifyContent(data, 0xF89342E1u));

  ResetSetupState();
  static const PayloadEntry missing = {KindFile, "absent.bin", 0xCBF43926u};
  setup.cursor = &missing;
  CopyText(setup.workPath, "C:\\absent.bin");
  EXPECT_FALSE(VerifyFile());
  EXPECT_EQ(NoFile, setup.outputFile);
}

TEST(ProgressMeter, PixelsFor373PixelControlAgainstTheTotal) {
  ASSERT_EQ(1203451u, ProgressTotal);
  const uint16_t width = 369;  // 373 pixels less 2 at each side; 3,261 bytes per pixel
  EXPECT_EQ(0, MeterPixelsFor(0, width));
  EXPECT_EQ(0, MeterPixelsFor(3260, width));
  EXPECT_EQ(1, MeterPixelsFor(3261, width));
  EXPECT_EQ(230, MeterPixelsFor(753185, width));  // the viewer's stored bytes copied
  EXPECT_EQ(368, MeterPixelsFor(1203308, width));
  EXPECT_EQ(369, MeterPixelsFor(1203309, width));
  EXPECT_EQ(369, MeterPixelsFor(1246075, width));  // a complete installation counts past the total
  EXPECT_EQ(369, MeterPixelsFor(0xFFFFFFFFu, width));
  EXPECT_EQ(0, MeterPixelsFor(5000, 0));
}

// Draws into a memory bitmap standing for the 373 x 9 pixel control.
class MeterDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    meter = {};
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 373, -9, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    old = SelectObject(dc, bitmap);
  }
  void TearDown() override {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Draw(UINT action) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.itemAction = action;
    item.hDC = dc;
    item.rcItem = {0, 0, 373, 9};
    DrawProgressMeter(&item);
    GdiFlush();
  }
  COLORREF At(int x, int y) {
    uint32_t p = pixels[y * 373 + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t* pixels = nullptr;
};

TEST_F(MeterDrawing, FullDrawSetsGeometryAndFillsWhenInstalled) {
  COLORREF caption = GetSysColor(COLOR_ACTIVECAPTION) & 0xFFFFFF;
  COLORREF inverse = ~caption & 0xFFFFFF;

  Draw(ODA_FOCUS);  // not a full draw: nothing happens
  EXPECT_EQ(0, meter.meterWidth);

  Draw(ODA_DRAWENTIRE);
  EXPECT_EQ(369, meter.meterWidth);
  EXPECT_EQ(0, meter.meterPixels);
  EXPECT_EQ(caption, At(100, 4));

  setup.installed = true;
  Draw(ODA_DRAWENTIRE);
  EXPECT_EQ(369, meter.meterPixels);
  EXPECT_EQ(2, meter.meterRect.left);
  EXPECT_EQ(2, meter.meterRect.top);
  EXPECT_EQ(371, meter.meterRect.right);
  EXPECT_EQ(7, meter.meterRect.bottom);
  EXPECT_EQ(caption, At(1, 4));     // 2-pixel border
  EXPECT_EQ(inverse, At(2, 2));
  EXPECT_EQ(inverse, At(370, 6));
  EXPECT_EQ(caption, At(371, 4));
  EXPECT_EQ(caption, At(100, 7));
}

TEST_F(MeterDrawing, UpdatesFollowBytesDoneOnlyAfterTheFirstDraw) {
  setup.bytesDone = 600000;
  UpdateProgress();
  EXPECT_EQ(0, meter.meterPixels);  // never drawn: nothing to update
  Draw(ODA_DRAWENTIRE);
  UpdateProgress();
  EXPECT_EQ(183, meter.meterPixels);
  setup.bytesDone = 0;
  UpdateProgress();
  EXPECT_EQ(0, meter.meterPixels);
}

}  // namespace
