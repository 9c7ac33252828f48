// CRC-32 computed bit by bit with no lookup table: the installer verifies about a megabyte once
// per installation, so the 1 KB table would cost more in the uninstaller copy than it saves.
#include "install/crc32.h"

uint32_t Crc32Update(uint32_t polynomial, uint32_t crc, const void* data, size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      bool carry = (crc & 1u) != 0;
      crc >>= 1;
      if (carry) crc ^= polynomial;
    }
  }
  return crc;
}
