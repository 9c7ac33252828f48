// The uninstaller copy's header: where the running image's headers lie, whether the running file
// still carries the payload, and the header fields patched into the copy's first chunk so that the
// file cut at the first payload byte is a consistent executable, signed when the build signed it.
#include "install/self_copy.h"
#include <cstring>
#include "install/setup_state.h"

// Locations in the running image; a header field's offset from the image base is its position
// in the file.
static struct {
  const unsigned char* base;
  uint32_t ntHeaders;
  uint32_t lastSection;
} image;

constexpr uint32_t OptionalHeader = 24;     // from the NT headers
constexpr uint32_t SectionTable = 248;      // NT headers + signature, file header, PE32 optional header
constexpr uint32_t SectionHeaderSize = 40;

static uint32_t ReadField(uint32_t position) {
  uint32_t value;
  memcpy(&value, image.base + position, sizeof value);
  return value;
}

static uint32_t Align(uint32_t value) {
  uint32_t alignment = ReadField(image.ntHeaders + OptionalHeader + 32);
  if (alignment == 0) return value;
  return (value + alignment - 1) / alignment * alignment;
}

void InspectOwnImage() {
  image.base = OwnImageBase();
  uint32_t lfanew;
  memcpy(&lfanew, image.base + 0x3C, sizeof lfanew);
  image.ntHeaders = lfanew;
  uint16_t sections;
  memcpy(&sections, image.base + lfanew + 6, sizeof sections);
  image.lastSection = lfanew + SectionTable + (sections - 1u) * SectionHeaderSize;

  uint32_t virtualAddress = ReadField(image.lastSection + 12);
  setup.rvaToFileDelta = virtualAddress - ReadField(image.lastSection + 20);
  setup.payloadPresent = false;
  uint32_t dataRva, size;
  if (!FindOwnResource(FirstPayloadId, PayloadType, &dataRva, &size)) return;
  setup.truncatedSectionSize = dataRva - virtualAddress;
  if (ReadField(image.lastSection + 8) != setup.truncatedSectionSize) setup.payloadPresent = true;
}

// The end of resource 2003, read from the program's file through the copy's reader, which the
// caller then takes back to the copy's start. A download cut short of it leaves the copy unsigned;
// the installation goes on to find the cut in the payload or, when the payload is whole, reports it
// at the end. The build's signing step made the table for exactly this copy.
void ReadCopySignature() {
  uint32_t dataRva, size;
  setup.copySignatureRead = false;
  if (FindOwnResource(CopySignatureId, PayloadType, &dataRva, &size)) {
    setup.copyTablePosition = dataRva - setup.rvaToFileDelta;
    long end = static_cast<long>(setup.copyTablePosition + size - sizeof setup.copySignature);
    setup.copySignatureRead =
        SeekLz(setup.lzHandle, end, 0) == end &&
        ReadLz(setup.lzHandle, &setup.copySignature, sizeof setup.copySignature) == sizeof setup.copySignature;
  }
  if (!setup.copySignatureRead) setup.copySignature = CopySignature();
}

void PatchChunkField(uint32_t filePosition, unsigned width, uint32_t value) {
  if (filePosition < setup.chunkFileOffset) return;
  uint32_t at = filePosition - setup.chunkFileOffset;
  if (at >= ChunkSize || width > ChunkSize - at || width > sizeof value) return;
  for (unsigned i = 0; i < width; ++i) setup.chunk[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void PatchCopyHeader() {
  if (!image.base) return;
  const uint32_t optional = image.ntHeaders + OptionalHeader;
  const uint32_t cut = setup.truncatedSectionSize;
  const uint32_t shrink = Align(ReadField(image.lastSection + 8)) - Align(cut);
  PatchChunkField(image.lastSection + 8, 4, cut);
  PatchChunkField(image.lastSection + 16, 4, cut);
  PatchChunkField(optional + 116, 4, cut);
  PatchChunkField(optional + 56, 4, ReadField(optional + 56) - shrink);
  PatchChunkField(optional + 8, 4, ReadField(optional + 8) - shrink);
  // The security directory names the certificate table appended where the copy ends (8-byte
  // aligned, as resource data is); an unsigned build's copy has none and checksum 0.
  const uint32_t table = setup.copySignature.tableSize;
  PatchChunkField(optional + 128, 4, table ? ReadField(image.lastSection + 20) + cut : 0);
  PatchChunkField(optional + 132, 4, table);
  PatchChunkField(optional + 64, 4, setup.copySignature.checkSum);
}
