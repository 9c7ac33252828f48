// The running program's own image: its base, its path, and the payload resources found by walking
// the resource directory, which gives a resource's data address without loading it (in the
// uninstaller copy the payload entries point past the end of the image).
#include "platform/platform.h"

#include <cstring>

static const unsigned char* imageOverride;

void SetOwnImage(const unsigned char* base) { imageOverride = base; }

const unsigned char* OwnImageBase() {
  if (imageOverride) return imageOverride;
  return reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
}

uint32_t OwnModulePath(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length >= size) length = 0;  // cut short: treat as no path
  buffer[length] = '\0';
  return length;
}

// The image's fields are little-endian, as the processor reads them, and may lie unaligned.
static uint32_t ReadU32(const unsigned char* p) {
  uint32_t value;
  memcpy(&value, p, sizeof value);
  return value;
}
static uint16_t ReadU16(const unsigned char* p) {
  uint16_t value;
  memcpy(&value, p, sizeof value);
  return value;
}

constexpr uint32_t SubdirectoryFlag = 0x80000000u;

// Finds the entry with a numeric id in one directory level; 0 when absent. Named entries come
// first and are skipped; the offsets are relative to the start of the resource section.
static uint32_t FindDirectoryEntry(const unsigned char* section, uint32_t sectionSize, uint32_t directory,
                                   uint16_t id) {
  if (directory + 16 > sectionSize) return 0;
  const unsigned char* table = section + directory;
  uint32_t named = ReadU16(table + 12);
  uint32_t numbered = ReadU16(table + 14);
  for (uint32_t i = named; i < named + numbered; ++i) {
    uint32_t at = directory + 16 + i * 8;
    if (at + 8 > sectionSize) return 0;
    if (ReadU32(section + at) == id) return ReadU32(section + at + 4);
  }
  return 0;
}

bool FindResourceInImage(const unsigned char* base, uint16_t id, uint16_t type, uint32_t* dataRva,
                         uint32_t* size) {
  if (!base || ReadU16(base) != 0x5A4D) return false;
  const unsigned char* nt = base + ReadU32(base + 0x3C);
  if (ReadU32(nt) != 0x4550) return false;
  uint32_t resourceRva = ReadU32(nt + 24 + 112);
  uint32_t resourceSize = ReadU32(nt + 24 + 116);
  if (resourceRva == 0 || resourceSize < 16) return false;
  const unsigned char* section = base + resourceRva;

  // Three levels: type, id, language (the first language found).
  uint32_t entry = FindDirectoryEntry(section, resourceSize, 0, type);
  if (!(entry & SubdirectoryFlag)) return false;
  entry = FindDirectoryEntry(section, resourceSize, entry & ~SubdirectoryFlag, id);
  if (!(entry & SubdirectoryFlag)) return false;
  uint32_t languages = entry & ~SubdirectoryFlag;
  if (languages + 24 > resourceSize || ReadU16(section + languages + 12) + ReadU16(section + languages + 14) == 0)
    return false;
  entry = ReadU32(section + languages + 16 + 4);
  if (entry & SubdirectoryFlag || entry + 16 > resourceSize) return false;
  *dataRva = ReadU32(section + entry);
  *size = ReadU32(section + entry + 4);
  return true;
}

bool FindOwnResource(uint16_t id, uint16_t type, uint32_t* dataRva, uint32_t* size) {
  return FindResourceInImage(OwnImageBase(), id, type, dataRva, size);
}
