// CRC-32 by four tables of 256 entries, one byte lane each, so the loop takes a 32-bit word per
// turn. The tables live in zero-filled memory and are built on first use: they cost the
// uninstaller copy nothing in its file, and reading back a 40 MiB data file costs milliseconds.
#include "install/crc32.h"

static uint32_t crcTables[4][256];
static uint32_t tablePolynomial;

static void BuildCrcTables(uint32_t polynomial) {
  for (uint32_t value = 0; value < 256; ++value) {
    uint32_t crc = value;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? polynomial : 0u);
    crcTables[0][value] = crc;
  }
  for (uint32_t value = 0; value < 256; ++value)
    for (int lane = 1; lane < 4; ++lane) {
      uint32_t previous = crcTables[lane - 1][value];
      crcTables[lane][value] = (previous >> 8) ^ crcTables[0][previous & 0xFFu];
    }
  tablePolynomial = polynomial;
}

uint32_t Crc32Update(uint32_t polynomial, uint32_t crc, const void* data, size_t length) {
  // The zero-filled tables at the start are already those of polynomial 0, which tablePolynomial
  // starts as.
  if (tablePolynomial != polynomial) BuildCrcTables(polynomial);
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (; length >= 4; length -= 4, bytes += 4) {
    crc ^= static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    crc = crcTables[3][crc & 0xFFu] ^ crcTables[2][(crc >> 8) & 0xFFu] ^ crcTables[1][(crc >> 16) & 0xFFu] ^
          crcTables[0][crc >> 24];
  }
  for (; length > 0; --length, ++bytes) crc = (crc >> 8) ^ crcTables[0][(crc ^ *bytes) & 0xFFu];
  return crc;
}
