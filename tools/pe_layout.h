// The layout the installer relies on in its own linked executable: the resource section last,
// nothing after it but a signature's certificate table, and the payload resources (type 256, ids 2000-2002) at its very end, so that
// cutting the file at resource 2000's data leaves a whole uninstaller; the base relocations before
// it, so that the uninstaller keeps them; and the hardening flags and section rights.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int PayloadResourceCount = 3;
constexpr uint32_t PayloadResourceIds[PayloadResourceCount] = {2000, 2001, 2002};

// What make_payload recorded about the payload (payload_sizes.txt).
struct PayloadSizes {
  std::string name[PayloadResourceCount];
  uint32_t storedSize[PayloadResourceCount] = {};
  uint32_t installedSize[PayloadResourceCount] = {};
  uint32_t crc[PayloadResourceCount] = {};
  uint64_t installedTotal = 0;
};

bool ParsePayloadSizes(const std::string& text, PayloadSizes& sizes, std::string& error);

struct PayloadPlace {
  uint32_t filePosition;
  uint32_t size;
};

struct LayoutReport {
  uint32_t fileSize = 0;
  uint32_t copySize = 0;  // the uninstaller copy: the file up to resource 2000's data
  uint32_t trailingPadding = 0;  // zero bytes of file alignment after the last payload byte
  uint32_t certificateTableSize = 0;  // a signature appended after the last section, or 0
  PayloadPlace payload[PayloadResourceCount] = {};
};

// The hardening the installer's header must declare: relocatable at a random base, data never
// executed, no exception handlers.
constexpr uint16_t DynamicBase = 0x0040, NxCompatible = 0x0100, NoSeh = 0x0400;
constexpr uint32_t SectionExecutable = 0x20000000, SectionWritable = 0x80000000;

// Checks the image; `sizes` may be null when no stored sizes are to be compared. On failure the
// error says which requirement the file breaks.
bool CheckLayout(const std::vector<uint8_t>& image, const PayloadSizes* sizes, LayoutReport& report,
                 std::string& error);

// Compares the image with the same link at another base: every 32-bit word of the sections that
// differs by the difference of the bases must be named by a base relocation, and every relocation
// must name such a word. The loader moves nothing else when it loads the image elsewhere.
bool CheckRelocations(const std::vector<uint8_t>& image, const std::vector<uint8_t>& rebased, std::string& error);

// Finishes a linked image where ld cannot: clears the write right bfd always gives a section named
// .rsrc, and packs the headers into the first file block when ld's 128-byte DOS stub is all that
// keeps them out of it (the NT headers move to 0x40, the sections' data 512 bytes down). Refuses a
// signed image or one with a symbol table, whose file positions would go stale.
bool SealImage(std::vector<uint8_t>& image, std::string& error);
