// CRC-32 (reflected, polynomial 0xEDB88320), table-driven. Shared with the build tools.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t Crc32Polynomial = 0xEDB88320u;
uint32_t Crc32Update(uint32_t polynomial, uint32_t crc, const void* data, size_t length);
