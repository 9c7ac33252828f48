// The SZDD format of the Microsoft compress utility, as LZExpand (lz32) reads it: a 14-byte header
// and LZSS items over a 4096-byte window that starts filled with spaces. The build compresses the
// viewer with it; the expander is kept for self-checks and tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t SzddHeaderSize = 14;
constexpr size_t SzddWindowSize = 4096;
constexpr size_t SzddMinMatch = 3;
constexpr size_t SzddMaxMatch = 18;
// The ring position of the first byte a decoder writes.
constexpr size_t SzddStartPosition = SzddWindowSize - 16;

struct SzddOptions {
  char missingChar = 0;  // the file name's replaced last character, kept in the header
  // Tree nodes visited per position; more finds the longest match more often, slower.
  unsigned searchDepth = 1024;
};

// Compresses `size` bytes (at most 4 GiB - 1). Returns false only when the input is too large.
bool CompressSzdd(const uint8_t* data, size_t size, const SzddOptions& options, std::vector<uint8_t>& out);

struct SzddHeader {
  char missingChar;
  uint32_t expandedSize;
};

// Parses the header. False when the data is not an SZDD file of mode 'A'.
bool ReadSzddHeader(const uint8_t* data, size_t size, SzddHeader& header);

// Expands a whole SZDD file. False on a bad header or when the items end before expandedSize bytes.
bool ExpandSzdd(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
