// The layout the installer relies on in its own linked executable: the resource section last,
// nothing after it but a signature's certificate table, and the payload resources (type 256, ids 2000-2002) at its very end, so that
// cutting the file at resource 2000's data leaves a whole uninstaller; the base relocations before
// it, so that the uninstaller keeps them; and the hardening flags and section rights. Resource 2003
// follows the payload: a reserve of fixed size for the uninstaller copy's own signature, filled
// when the build signs (see FillCopySignature below).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int PayloadResourceCount = 3;
constexpr uint32_t PayloadResourceIds[PayloadResourceCount] = {2000, 2001, 2002};

// Resource 2003, the copy's signature: the certificate table that the installer appends to the
// copy, then zeros, and in its last 8 bytes the table's size and the checksum of the signed copy
// (last, so that reading them shows the whole resource is there); all zero in an unsigned installer.
// Its size is fixed before signing, because the installer is signed after it is filled. A
// signature with a chain of three 4096-bit RSA certificates takes 5,696 bytes (measured with
// osslsigncode 2.9); an RFC 3161 time stamp that carries the time-stamping authority's chain of
// three more takes about as much again, about 12 KiB in all; 16 KiB leaves room for longer names
// and extensions. It lies after the payload, so the copy itself does not grow.
constexpr uint32_t CopySignatureId = 2003;
constexpr uint32_t CopySignatureReserve = 16384;
constexpr uint32_t CopySignatureHeader = 8;

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
  PayloadPlace copySignature = {};
  uint32_t copyCertificateTableSize = 0;  // the table resource 2003 holds for the copy; 0: unsigned copy
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

// The uninstaller copy exactly as the installer writes it from this checked image: the bytes up
// to resource 2000's data, with the header fields of the cut patched (as PatchCopyHeader does);
// the copy's own signature is not added.
std::vector<uint8_t> UninstallerCopy(const std::vector<uint8_t>& image, const LayoutReport& report);

// Fills resource 2003 of the checked image from the signed form of its uninstaller copy; false
// with the reason when the signed copy is not that copy with a certificate table appended, or the
// table does not fit the reserve.
bool FillCopySignature(std::vector<uint8_t>& image, const LayoutReport& report, const std::vector<uint8_t>& signedCopy,
                       std::string& error);
