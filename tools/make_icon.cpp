// make_icon OUT.ico: draws the program icon, an open book, at 32x32 and 16x16 in the 16 standard
// colours (which every Windows since 95 shows), so no binary image lives in the repository.
#include <cstdint>
#include <cstdio>
#include <vector>
#include "tools/tool_files.h"

namespace {

enum Colour : uint8_t { Black = 0, Navy = 4, Silver = 7, Grey = 8, White = 15, Clear = 255 };

// The standard VGA palette as RGB.
const uint8_t Palette[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// The book on a 32-unit grid, y growing downwards.
uint8_t BookColour(int x, int y) {
  bool cover = x >= 2 && x <= 29 && y >= 7 && y <= 27;
  bool leftPage = x >= 4 && x <= 15 && y >= 5 && y <= 25;
  bool rightPage = x >= 16 && x <= 27 && y >= 5 && y <= 25;
  if (leftPage || rightPage) {
    if (x == 15 || x == 16) return Grey;
    bool textRow = y >= 9 && y <= 22 && (y - 9) % 3 == 0;
    bool textColumn = (x >= 6 && x <= 13) || (x >= 18 && x <= 25);
    return textRow && textColumn ? Black : White;
  }
  if (cover) return Navy;
  return Clear;
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, uint16_t(v));
  PutU16(out, uint16_t(v >> 16));
}

// One icon image: BITMAPINFOHEADER, palette, 4-bit colour rows and the 1-bit mask, bottom-up.
std::vector<uint8_t> DrawImage(int size) {
  std::vector<uint8_t> out;
  int colourStride = ((size * 4 + 31) / 32) * 4;
  int maskStride = ((size + 31) / 32) * 4;
  PutU32(out, 40);
  PutU32(out, uint32_t(size));
  PutU32(out, uint32_t(size * 2));  // colour and mask stacked
  PutU16(out, 1);
  PutU16(out, 4);
  PutU32(out, 0);
  PutU32(out, uint32_t((colourStride + maskStride) * size));
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 16);
  PutU32(out, 0);
  for (const uint8_t* rgb : Palette) {
    out.push_back(rgb[2]);
    out.push_back(rgb[1]);
    out.push_back(rgb[0]);
    out.push_back(0);
  }
  std::vector<uint8_t> colour(size_t(colourStride) * size, 0), mask(size_t(maskStride) * size, 0);
  for (int row = 0; row < size; ++row) {
    int y = size - 1 - row;
    for (int x = 0; x < size; ++x) {
      uint8_t c = BookColour(x * 32 / size, y * 32 / size);
      if (c == Clear) {
        mask[size_t(row) * maskStride + x / 8] |= uint8_t(0x80 >> (x % 8));
        c = Black;
      }
      colour[size_t(row) * colourStride + x / 2] |= uint8_t(x % 2 ? c : c << 4);
    }
  }
  out.insert(out.end(), colour.begin(), colour.end());
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_icon OUT.ico\n");
    return 2;
  }
  const int sizes[2] = {32, 16};
  std::vector<uint8_t> images[2] = {DrawImage(sizes[0]), DrawImage(sizes[1])};
  std::vector<uint8_t> icon;
  PutU16(icon, 0);
  PutU16(icon, 1);
  PutU16(icon, 2);
  uint32_t offset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    icon.push_back(uint8_t(sizes[i]));
    icon.push_back(uint8_t(sizes[i]));
    icon.push_back(16);
    icon.push_back(0);
    PutU16(icon, 1);
    PutU16(icon, 4);
    PutU32(icon, uint32_t(images[i].size()));
    PutU32(icon, offset);
    offset += uint32_t(images[i].size());
  }
  for (const std::vector<uint8_t>& image : images) icon.insert(icon.end(), image.begin(), image.end());
  std::string error;
  if (!CommitOutputs({{argv[1], icon}}, error)) {
    fprintf(stderr, "make_icon: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
