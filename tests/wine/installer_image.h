// Test helper: the built installer read from disk and laid out as the loader would map it, so that
// the engine can inspect and extract from it as if it were the running program's own image.
#pragma once
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline uint32_t ReadLe32(const unsigned char* p) { uint32_t v; memcpy(&v, p, 4); return v; }
inline uint16_t ReadLe16(const unsigned char* p) { uint16_t v; memcpy(&v, p, 2); return v; }

inline std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> data;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return data;
  DWORD size = GetFileSize(file, nullptr), done = 0;
  data.resize(size);
  if (!ReadFile(file, data.data(), size, &done, nullptr) || done != size) data.clear();
  CloseHandle(file);
  return data;
}

inline bool WriteWholeFile(const std::string& path, const unsigned char* data, size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = WriteFile(file, data, static_cast<DWORD>(size), &done, nullptr) && done == size;
  CloseHandle(file);
  return ok;
}

// Headers at the base, each section's raw data at its virtual address.
inline std::vector<unsigned char> MapImageFile(const std::vector<unsigned char>& file) {
  std::vector<unsigned char> image;
  if (file.size() < 0x40) return image;
  uint32_t nt = ReadLe32(&file[0x3C]);
  uint16_t sections = ReadLe16(&file[nt + 6]);
  uint32_t sizeOfImage = ReadLe32(&file[nt + 24 + 56]);
  uint32_t sizeOfHeaders = ReadLe32(&file[nt + 24 + 60]);
  image.assign(sizeOfImage, 0);
  memcpy(image.data(), file.data(), sizeOfHeaders);
  for (uint16_t i = 0; i < sections; ++i) {
    const unsigned char* header = &file[nt + 248 + i * 40];
    uint32_t virtualSize = ReadLe32(header + 8), virtualAddress = ReadLe32(header + 12);
    uint32_t rawSize = ReadLe32(header + 16), rawPointer = ReadLe32(header + 20);
    uint32_t count = rawSize < virtualSize ? rawSize : virtualSize;
    if (rawPointer + count > file.size()) count = static_cast<uint32_t>(file.size()) - rawPointer;
    memcpy(&image[virtualAddress], &file[rawPointer], count);
  }
  return image;
}

// Field positions of the header, from the file's start.
struct HeaderPositions {
  uint32_t optional;     // optional header
  uint32_t lastSection;  // last section header
};
inline HeaderPositions HeaderPositionsOf(const unsigned char* file) {
  uint32_t nt = ReadLe32(file + 0x3C);
  uint16_t sections = ReadLe16(file + nt + 6);
  return {nt + 24, nt + 248 + (sections - 1u) * 40};
}
