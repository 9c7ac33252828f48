// Reads a PE32 file's headers and resource tree, bounds-checked throughout, and checks the
// payload layout; also parses the key-value sizes file written by make_payload.
#include "tools/pe_layout.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr uint32_t PayloadType = 256;
constexpr uint32_t OptionalHeaderSize32 = 224;  // the installer locates its section table with it
constexpr uint32_t ResourceDirectory = 2;
constexpr uint32_t SecurityDirectory = 4;
constexpr uint32_t RelocationDirectory = 5;
constexpr uint32_t DebugDirectory = 6;
constexpr uint16_t RelocationsStripped = 0x0001;
constexpr uint32_t DosHeaderSize = 64;
constexpr uint32_t NtHeadersSize = 4 + 20 + OptionalHeaderSize32;
constexpr uint32_t SectionHeaderSize = 40;
// windres aligns each resource's data to 8 bytes.
constexpr uint32_t ResourceDataAlignment = 8;
// The linker rounds the last section's raw data up to FileAlignment with zero bytes (measured
// with binutils 2.40: 21 bytes after the sample payload); that padding is all it may add.
constexpr uint32_t MaxFileAlignment = 0x10000;
// Authenticode's certificate table (WIN_CERTIFICATE entries, each 8-byte aligned) as signtool and
// osslsigncode append it.
constexpr uint32_t CertificateAlignment = 8;
constexpr uint16_t CertificateRevision2 = 0x0200;
constexpr uint16_t CertificateTypePkcsSignedData = 0x0002;

struct Section {
  char name[9];
  uint32_t virtualSize, virtualAddress, rawSize, rawPosition, characteristics;
};

struct ResourceData {
  uint32_t type;  // 0xFFFFFFFF for a named type
  uint32_t id;    // 0xFFFFFFFF for a named resource
  uint32_t rva, size;
};

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& image) : image_(image) {}
  bool Has(uint64_t position, uint64_t length) const { return position + length <= image_.size(); }
  uint16_t U16(uint64_t at) const { return uint16_t(image_[at] | (image_[at + 1] << 8)); }
  uint32_t U32(uint64_t at) const { return U16(at) | (uint32_t(U16(at + 2)) << 16); }

 private:
  const std::vector<uint8_t>& image_;
};

struct TreeWalk {
  const Reader* reader;
  uint64_t base;        // file position of the resource directory
  uint64_t limit;       // bytes of the section available from base
  uint32_t baseRva;
  uint64_t extent = 0;  // end of the directory structures, from base
  std::vector<ResourceData> data;
  std::string error;
};

bool Claim(TreeWalk& walk, uint64_t offset, uint64_t length) {
  if (offset + length > walk.limit || !walk.reader->Has(walk.base + offset, length)) {
    walk.error = "the resource directory runs past the end of the resource section";
    return false;
  }
  if (offset + length > walk.extent) walk.extent = offset + length;
  return true;
}

bool WalkDirectory(TreeWalk& walk, uint64_t offset, int level, uint32_t type, uint32_t id) {
  if (level > 2) {
    walk.error = "the resource directory is nested deeper than type, name and language";
    return false;
  }
  if (!Claim(walk, offset, 16)) return false;
  const Reader& r = *walk.reader;
  uint32_t entries = uint32_t(r.U16(walk.base + offset + 12)) + r.U16(walk.base + offset + 14);
  if (!Claim(walk, offset + 16, uint64_t(entries) * 8)) return false;
  for (uint32_t i = 0; i < entries; ++i) {
    uint64_t entry = walk.base + offset + 16 + uint64_t(i) * 8;
    uint32_t nameField = r.U32(entry);
    uint32_t target = r.U32(entry + 4);
    uint32_t key = nameField;
    if (nameField & 0x80000000u) {
      uint64_t nameOffset = nameField & 0x7FFFFFFFu;
      if (!Claim(walk, nameOffset, 2)) return false;
      if (!Claim(walk, nameOffset + 2, uint64_t(r.U16(walk.base + nameOffset)) * 2)) return false;
      key = 0xFFFFFFFFu;
    }
    uint32_t childType = level == 0 ? key : type;
    uint32_t childId = level == 1 ? key : id;
    if (target & 0x80000000u) {
      if (!WalkDirectory(walk, target & 0x7FFFFFFFu, level + 1, childType, childId)) return false;
      continue;
    }
    if (!Claim(walk, target, 16)) return false;
    walk.data.push_back({childType, childId, r.U32(walk.base + target), r.U32(walk.base + target + 4)});
  }
  return true;
}

bool Fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

std::string Hex(uint64_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << std::uppercase << value;
  return text.str();
}

// A signature is allowed after the last section: the table the security directory names (its
// "address" is a file position), starting where the sections end (rounded up to 8 with zeros),
// made of whole certificate entries and ending the file. Anything else there would be read by
// no one and signed by no one.
bool CheckCertificateTable(const std::vector<uint8_t>& image, const Reader& r, uint64_t sectionEnd,
                           uint32_t position, uint32_t size, std::string& error) {
  uint64_t start = (sectionEnd + CertificateAlignment - 1) / CertificateAlignment * CertificateAlignment;
  if (position < sectionEnd) return Fail(error, "the certificate table at " + Hex(position) + " overlaps the sections");
  for (uint64_t at = sectionEnd; at < start && at < image.size(); ++at)
    if (image[at] != 0) return Fail(error, "bytes other than alignment lie between the last section and the certificate table");
  if (position != start)
    return Fail(error, std::to_string(position - sectionEnd) +
                           " bytes lie between the last section and the certificate table");
  uint64_t end = uint64_t(position) + size;
  if (end > image.size()) return Fail(error, "the certificate table runs past the end of the file");
  if (end < image.size())
    return Fail(error, std::to_string(image.size() - end) + " bytes follow the certificate table");
  uint64_t at = position;
  while (at < end) {
    if (end - at < 8) return Fail(error, "the certificate table ends inside a certificate's header");
    uint32_t length = r.U32(at);
    if (length < 8 || length > end - at) return Fail(error, "a certificate's length does not fit the certificate table");
    if (r.U16(at + 4) != CertificateRevision2 || r.U16(at + 6) != CertificateTypePkcsSignedData)
      return Fail(error, "the certificate table holds an entry that is not an Authenticode signature");
    at += (uint64_t(length) + CertificateAlignment - 1) / CertificateAlignment * CertificateAlignment;
  }
  if (at != end) return Fail(error, "the certificate table's last entry is not padded to 8 bytes");
  return true;
}

}  // namespace

bool ParsePayloadSizes(const std::string& text, PayloadSizes& sizes, std::string& error) {
  bool seenStored[PayloadResourceCount] = {}, seenInstalled[PayloadResourceCount] = {}, seenTotal = false;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string key, value;
    if (!(fields >> key >> value)) return Fail(error, "payload sizes: malformed line: " + line);
    char* end = nullptr;
    unsigned long long number = strtoull(value.c_str(), &end, 0);
    bool parsed = end && *end == '\0';
    bool numeric = parsed && number <= 0xFFFFFFFFull;
    if (key == "installed_total") {
      if (!parsed) return Fail(error, "payload sizes: bad number in: " + line);
      sizes.installedTotal = number;
      seenTotal = true;
      continue;
    }
    for (int i = 0; i < PayloadResourceCount; ++i) {
      std::string id = std::to_string(PayloadResourceIds[i]);
      if (key == "name_" + id) {
        sizes.name[i] = value;
      } else if (key == "stored_size_" + id || key == "installed_size_" + id || key == "crc_" + id) {
        if (!numeric) return Fail(error, "payload sizes: bad number in: " + line);
        if (key[0] == 's') sizes.storedSize[i] = uint32_t(number), seenStored[i] = true;
        else if (key[0] == 'i') sizes.installedSize[i] = uint32_t(number), seenInstalled[i] = true;
        else sizes.crc[i] = uint32_t(number);
      }
    }
  }
  for (int i = 0; i < PayloadResourceCount; ++i)
    if (!seenStored[i] || !seenInstalled[i])
      return Fail(error, "payload sizes: no stored or installed size for resource " +
                             std::to_string(PayloadResourceIds[i]));
  if (!seenTotal) return Fail(error, "payload sizes: no installed_total");
  return true;
}

bool CheckLayout(const std::vector<uint8_t>& image, const PayloadSizes* sizes, LayoutReport& report,
                 std::string& error) {
  Reader r(image);
  report = LayoutReport();
  if (image.size() > 0xFFFFFFFFu) return Fail(error, "the file is larger than 4 GiB");
  report.fileSize = uint32_t(image.size());
  if (!r.Has(0, 64) || image[0] != 'M' || image[1] != 'Z') return Fail(error, "not an executable (no MZ header)");
  uint64_t nt = r.U32(0x3C);
  if (!r.Has(nt, 24) || memcmp(&image[nt], "PE\0\0", 4) != 0) return Fail(error, "not a PE file (no PE signature)");
  uint32_t sectionCount = r.U16(nt + 6);
  uint32_t optionalSize = r.U16(nt + 20);
  uint64_t optional = nt + 24;
  if (!r.Has(optional, 2) || r.U16(optional) != 0x10B) return Fail(error, "not a PE32 file (optional header magic)");
  if (optionalSize != OptionalHeaderSize32)
    return Fail(error, "the optional header is " + std::to_string(optionalSize) +
                           " bytes, not 224: the installer would not find its section table");
  if (!r.Has(optional, optionalSize)) return Fail(error, "the optional header runs past the end of the file");
  uint32_t directoryCount = r.U32(optional + 92);
  auto directoryRva = [&](uint32_t index) { return index < directoryCount ? r.U32(optional + 96 + 8 * index) : 0; };
  auto directorySize = [&](uint32_t index) { return index < directoryCount ? r.U32(optional + 100 + 8 * index) : 0; };

  if (sectionCount == 0) return Fail(error, "the file has no sections");
  uint64_t table = optional + optionalSize;
  if (!r.Has(table, uint64_t(sectionCount) * 40)) return Fail(error, "the section table runs past the end of the file");
  std::vector<Section> sections(sectionCount);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint64_t at = table + uint64_t(i) * 40;
    Section& s = sections[i];
    memcpy(s.name, &image[at], 8);
    s.name[8] = '\0';
    s.virtualSize = r.U32(at + 8);
    s.virtualAddress = r.U32(at + 12);
    s.rawSize = r.U32(at + 16);
    s.rawPosition = r.U32(at + 20);
    s.characteristics = r.U32(at + 36);
    if ((s.characteristics & SectionWritable) && (s.characteristics & SectionExecutable))
      return Fail(error, "section " + std::string(s.name) + " is writable and executable");
  }
  const struct {
    uint16_t flag;
    const char* name;
  } hardening[] = {{DynamicBase, "DYNAMIC_BASE"}, {NxCompatible, "NX_COMPAT"}, {NoSeh, "NO_SEH"}};
  for (const auto& h : hardening)
    if (!(r.U16(optional + 70) & h.flag)) return Fail(error, std::string("the header does not declare ") + h.name);
  if (r.U16(nt + 22) & RelocationsStripped) return Fail(error, "the header says the relocations are stripped");

  const Section& last = sections.back();
  for (uint32_t i = 0; i + 1 < sectionCount; ++i)
    if (sections[i].rawSize != 0 && sections[i].rawPosition + uint64_t(sections[i].rawSize) > last.rawPosition)
      return Fail(error, "section " + std::string(sections[i].name) + " lies after the last section header's data");
  uint32_t resourceRva = directoryRva(ResourceDirectory);
  if (directorySize(ResourceDirectory) == 0 || resourceRva < last.virtualAddress ||
      resourceRva - last.virtualAddress >= last.rawSize)
    return Fail(error, "the resource section is not the last section (last is " + std::string(last.name) + ")");
  if (last.characteristics & SectionWritable) return Fail(error, "the resource section is writable");
  // Before the resource section, the relocations stay whole in the uninstaller copy.
  uint64_t relocationEnd = uint64_t(directoryRva(RelocationDirectory)) + directorySize(RelocationDirectory);
  if (directorySize(RelocationDirectory) == 0)
    return Fail(error, "the file has no base relocations: it cannot be moved to a random base");
  if (relocationEnd > last.virtualAddress)
    return Fail(error, "the base relocations end at " + Hex(relocationEnd) + ", inside the resource section");
  uint64_t sectionEnd = uint64_t(last.rawPosition) + last.rawSize;
  if (sectionEnd > image.size()) return Fail(error, "the last section runs past the end of the file");
  uint32_t certificatePosition = directoryRva(SecurityDirectory);
  uint32_t certificateSize = directorySize(SecurityDirectory);
  if (certificatePosition != 0 || certificateSize != 0) {
    if (!CheckCertificateTable(image, r, sectionEnd, certificatePosition, certificateSize, error)) return false;
    report.certificateTableSize = certificateSize;
  } else if (sectionEnd < image.size()) {
    return Fail(error, std::to_string(image.size() - sectionEnd) + " bytes follow the last section's data");
  }

  uint32_t delta = last.virtualAddress - last.rawPosition;
  TreeWalk walk;
  walk.reader = &r;
  walk.baseRva = resourceRva;
  walk.base = resourceRva - delta;
  walk.limit = sectionEnd - walk.base;
  if (!WalkDirectory(walk, 0, 0, 0, 0)) return Fail(error, walk.error);

  const ResourceData* payload[PayloadResourceCount] = {};
  const ResourceData* copySignature = nullptr;
  for (const ResourceData& d : walk.data) {
    if (d.type == PayloadType && d.id == CopySignatureId) {
      if (copySignature) return Fail(error, "resource 2003 of type 256 exists in more than one language");
      copySignature = &d;
    }
    for (int i = 0; i < PayloadResourceCount; ++i) {
      if (d.type != PayloadType || d.id != PayloadResourceIds[i]) continue;
      if (payload[i])
        return Fail(error, "resource " + std::to_string(d.id) + " of type 256 exists in more than one language");
      payload[i] = &d;
    }
    if (d.rva < last.virtualAddress || uint64_t(d.rva) - delta + d.size > sectionEnd)
      return Fail(error, "resource data at " + Hex(d.rva) + " lies outside the last section");
  }
  for (int i = 0; i < PayloadResourceCount; ++i)
    if (!payload[i]) return Fail(error, "resource " + std::to_string(PayloadResourceIds[i]) + " of type 256 is missing");

  uint64_t directoryEndRva = resourceRva + walk.extent;
  if (payload[0]->rva < directoryEndRva)
    return Fail(error, "resource 2000's data lies inside the resource directory (directory ends at " +
                           Hex(directoryEndRva) + ")");
  for (const ResourceData& d : walk.data) {
    bool isPayload = d.type == PayloadType && d.id >= PayloadResourceIds[0] && d.id <= CopySignatureId;
    if (!isPayload && uint64_t(d.rva) + d.size > payload[0]->rva)
      return Fail(error, "resource data at " + Hex(d.rva) + " (type " + std::to_string(d.type) + ", id " +
                             std::to_string(d.id) + ") does not come before the payload");
  }
  for (int i = 0; i + 1 < PayloadResourceCount; ++i) {
    uint64_t end = uint64_t(payload[i]->rva) + payload[i]->size;
    if (payload[i + 1]->rva < end || payload[i + 1]->rva - end >= ResourceDataAlignment)
      return Fail(error, "resource " + std::to_string(PayloadResourceIds[i + 1]) + " does not follow resource " +
                             std::to_string(PayloadResourceIds[i]) + " directly");
  }
  if (!copySignature) return Fail(error, "resource 2003 of type 256 (the uninstaller copy's signature) is missing");
  uint64_t viewerEnd = uint64_t(payload[2]->rva) + payload[2]->size;
  if (copySignature->rva < viewerEnd || copySignature->rva - viewerEnd >= ResourceDataAlignment)
    return Fail(error, "resource 2003 does not follow resource 2002 directly");
  if (copySignature->size != CopySignatureReserve)
    return Fail(error, "resource 2003 holds " + std::to_string(copySignature->size) + " bytes, not the " +
                           std::to_string(CopySignatureReserve) + " reserved for the uninstaller copy's signature");
  for (int i = 0; i < PayloadResourceCount; ++i)
    report.payload[i] = {payload[i]->rva - delta, payload[i]->size};
  report.copySignature = {copySignature->rva - delta, copySignature->size};
  report.copyCertificateTableSize = r.U32(uint64_t(report.copySignature.filePosition) + CopySignatureReserve - CopySignatureHeader);
  if (report.copyCertificateTableSize > CopySignatureReserve - CopySignatureHeader)
    return Fail(error, "resource 2003 names a certificate table larger than itself");
  uint64_t payloadEnd = uint64_t(report.copySignature.filePosition) + report.copySignature.size;
  report.trailingPadding = uint32_t(sectionEnd - payloadEnd);
  uint32_t fileAlignment = r.U32(optional + 36);
  if (fileAlignment == 0 || fileAlignment > MaxFileAlignment || (fileAlignment & (fileAlignment - 1)) != 0)
    return Fail(error, "the file alignment " + std::to_string(fileAlignment) + " is not a power of two up to 64 KiB");
  bool zeroPadding = true;
  for (uint64_t at = payloadEnd; at < sectionEnd; ++at) zeroPadding = zeroPadding && image[at] == 0;
  if (report.trailingPadding >= fileAlignment || !zeroPadding)
    return Fail(error, std::to_string(report.trailingPadding) +
                           " bytes follow resource 2003's data at the end of the section, more than alignment padding");
  report.copySize = report.payload[0].filePosition;

  if (sizes) {
    for (int i = 0; i < PayloadResourceCount; ++i)
      if (report.payload[i].size != sizes->storedSize[i])
        return Fail(error, "resource " + std::to_string(PayloadResourceIds[i]) + " holds " +
                               std::to_string(report.payload[i].size) + " bytes, the payload sizes say " +
                               std::to_string(sizes->storedSize[i]));
  }
  return true;
}

namespace {

void Put32(std::vector<uint8_t>& image, uint64_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = uint8_t(value >> (8 * i));
}

// The PE checksum (16-bit one's-complement sum of the file with the field itself as 0, plus the
// file's length), as ld computed it before the file changed.
uint32_t PeChecksum(const std::vector<uint8_t>& image, uint64_t field) {
  uint64_t sum = 0;
  for (uint64_t at = 0; at < image.size(); at += 2) {
    if (at >= field && at < field + 4) continue;
    sum += image[at] | (at + 1 < image.size() ? image[at + 1] << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return uint32_t((sum & 0xFFFF) + image.size());
}

// Header fields, as file positions, that the installer patches in the copy or signing sets.
struct CopyFields {
  uint64_t optional, lastSection;
  uint64_t checkSum() const { return optional + 64; }
  uint64_t security() const { return optional + 96 + 8 * SecurityDirectory; }
};

CopyFields CopyFieldsOf(const Reader& r) {
  uint64_t nt = r.U32(0x3C);
  uint64_t optional = nt + 24;
  return {optional, optional + OptionalHeaderSize32 + (uint64_t(r.U16(nt + 6)) - 1) * 40};
}

}  // namespace

bool SealImage(std::vector<uint8_t>& image, std::string& error) {
  Reader r(image);
  if (!r.Has(0, DosHeaderSize) || image[0] != 'M' || image[1] != 'Z') return Fail(error, "not an executable (no MZ header)");
  uint64_t nt = r.U32(0x3C);
  if (nt < DosHeaderSize || !r.Has(nt, NtHeadersSize) || memcmp(&image[nt], "PE\0\0", 4) != 0 ||
      r.U16(nt + 20) != OptionalHeaderSize32 || r.U16(nt + 24) != 0x10B)
    return Fail(error, "not a PE32 file with a 224-byte optional header");
  uint64_t optional = nt + 24;
  uint32_t sectionCount = r.U16(nt + 6);
  uint64_t table = nt + NtHeadersSize;
  if (!r.Has(table, uint64_t(sectionCount) * SectionHeaderSize))
    return Fail(error, "the section table runs past the end of the file");
  if (r.U32(nt + 8) != 0 || r.U32(optional + 100 + 8 * SecurityDirectory) != 0 ||
      r.U32(optional + 100 + 8 * DebugDirectory) != 0)
    return Fail(error, "the image carries a signature, symbols or debug data, whose positions would go stale");

  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint64_t at = table + uint64_t(i) * SectionHeaderSize;
    if (memcmp(&image[at], ".rsrc\0\0\0", 8) == 0) Put32(image, at + 36, r.U32(at + 36) & ~SectionWritable);
  }

  uint32_t fileAlignment = r.U32(optional + 36);
  uint32_t headersSize = r.U32(optional + 60);
  uint64_t packedEnd = DosHeaderSize + NtHeadersSize + uint64_t(sectionCount) * SectionHeaderSize;
  uint64_t packedSize = fileAlignment ? (packedEnd + fileAlignment - 1) / fileAlignment * fileAlignment : 0;
  if (packedSize != 0 && packedSize < headersSize && headersSize <= image.size()) {
    uint32_t shift = uint32_t(headersSize - packedSize);
    for (uint32_t i = 0; i < sectionCount; ++i) {
      uint64_t at = table + uint64_t(i) * SectionHeaderSize;
      uint32_t position = r.U32(at + 20);
      if (position == 0) continue;
      if (position < headersSize) return Fail(error, "a section's data lies inside the headers");
      Put32(image, at + 20, position - shift);
    }
    std::copy(image.begin() + nt, image.begin() + table + uint64_t(sectionCount) * SectionHeaderSize,
              image.begin() + DosHeaderSize);
    std::fill(image.begin() + packedEnd, image.begin() + headersSize, 0);
    image.erase(image.begin() + packedSize, image.begin() + headersSize);
    Put32(image, 0x3C, DosHeaderSize);
    nt = DosHeaderSize;
    optional = nt + 24;
    Put32(image, optional + 60, uint32_t(packedSize));
  }
  Put32(image, optional + 64, PeChecksum(image, optional + 64));
  return true;
}

bool CheckRelocations(const std::vector<uint8_t>& image, const std::vector<uint8_t>& rebased, std::string& error) {
  Reader r(image), other(rebased);
  if (!r.Has(0, DosHeaderSize)) return Fail(error, "not an executable");
  uint64_t nt = r.U32(0x3C);
  if (!r.Has(nt, NtHeadersSize) || !other.Has(nt, NtHeadersSize)) return Fail(error, "not a PE32 file");
  uint64_t optional = nt + 24;
  uint32_t delta = other.U32(optional + 28) - r.U32(optional + 28);
  if (delta == 0) return Fail(error, "the two images have the same base");
  uint32_t sectionCount = r.U16(nt + 6);
  uint64_t table = nt + NtHeadersSize;
  if (!r.Has(table, uint64_t(sectionCount) * SectionHeaderSize)) return Fail(error, "the section table runs past the end");
  std::vector<Section> sections(sectionCount);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint64_t at = table + uint64_t(i) * SectionHeaderSize;
    sections[i] = {{}, r.U32(at + 8), r.U32(at + 12), r.U32(at + 16), r.U32(at + 20), r.U32(at + 36)};
    memcpy(sections[i].name, &image[at], 8);
    if (!r.Has(sections[i].rawPosition, sections[i].rawSize) || !other.Has(sections[i].rawPosition, sections[i].rawSize))
      return Fail(error, "section " + std::string(sections[i].name) + " runs past the end of a file");
  }
  auto position = [&](uint64_t rva) -> uint64_t {
    for (const Section& s : sections)
      if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) return rva - s.virtualAddress + s.rawPosition;
    return 0;
  };
  uint32_t relocationRva = r.U32(optional + 96 + 8 * RelocationDirectory);
  uint32_t relocationSize = r.U32(optional + 100 + 8 * RelocationDirectory);
  uint64_t block = position(relocationRva), end = block + relocationSize;
  if (block == 0 || !r.Has(block, relocationSize)) return Fail(error, "the base relocations lie outside the sections");
  std::vector<bool> named(image.size(), false);
  while (block < end) {
    if (end - block < 8 || r.U32(block + 4) < 8 || r.U32(block + 4) > end - block)
      return Fail(error, "a base relocation block does not fit the relocation directory");
    uint32_t page = r.U32(block), blockSize = r.U32(block + 4);
    for (uint32_t entry = 8; entry + 2 <= blockSize; entry += 2) {
      uint16_t value = r.U16(block + entry);
      if (value >> 12 == 0) continue;  // padding to a 4-byte block
      uint64_t at = position(page + (value & 0xFFF));
      if (value >> 12 != 3 || at == 0 || !r.Has(at, 4))
        return Fail(error, "a base relocation at " + Hex(page + (value & 0xFFF)) + " is not a 32-bit address in a section");
      named[at] = true;
    }
    block += blockSize;
  }
  for (const Section& s : sections) {
    for (uint64_t at = s.rawPosition; at + 4 <= uint64_t(s.rawPosition) + s.rawSize;) {
      bool moves = other.U32(at) - r.U32(at) == delta;
      if (named[at] && !moves)
        return Fail(error, "the base relocation at " + Hex(at - s.rawPosition + s.virtualAddress) +
                               " names a word that does not move with the base");
      if (!named[at] && moves)
        return Fail(error, "the address at " + Hex(at - s.rawPosition + s.virtualAddress) + " in " +
                               std::string(s.name) + " moves with the base, but no base relocation names it");
      at += named[at] ? 4 : 1;
    }
  }
  return true;
}

std::vector<uint8_t> UninstallerCopy(const std::vector<uint8_t>& image, const LayoutReport& report) {
  Reader r(image);
  CopyFields at = CopyFieldsOf(r);
  std::vector<uint8_t> copy(image.begin(), image.begin() + report.copySize);
  uint32_t alignment = r.U32(at.optional + 32);
  auto align = [&](uint32_t value) { return alignment ? (value + alignment - 1) / alignment * alignment : value; };
  uint32_t cut = report.copySize - r.U32(at.lastSection + 20);  // the last section's bytes before the payload
  uint32_t shrink = align(r.U32(at.lastSection + 8)) - align(cut);
  Put32(copy, at.lastSection + 8, cut);
  Put32(copy, at.lastSection + 16, cut);
  Put32(copy, at.optional + 96 + 8 * ResourceDirectory + 4, cut);
  Put32(copy, at.optional + 56, r.U32(at.optional + 56) - shrink);  // SizeOfImage
  Put32(copy, at.optional + 8, r.U32(at.optional + 8) - shrink);    // SizeOfInitializedData
  Put32(copy, at.security(), 0);
  Put32(copy, at.security() + 4, 0);
  Put32(copy, at.checkSum(), 0);
  return copy;
}

bool FillCopySignature(std::vector<uint8_t>& image, const LayoutReport& report, const std::vector<uint8_t>& signedCopy,
                       std::string& error) {
  std::vector<uint8_t> copy = UninstallerCopy(image, report);
  Reader r(signedCopy);
  if (signedCopy.size() < copy.size()) return Fail(error, "the signed uninstaller copy is shorter than the copy");
  CopyFields at = CopyFieldsOf(r);
  uint32_t position = r.U32(at.security()), size = r.U32(at.security() + 4);
  // Signing sets the checksum and the security directory and appends the table; nothing else.
  std::vector<uint8_t> head(signedCopy.begin(), signedCopy.begin() + copy.size());
  Put32(head, at.checkSum(), 0);
  Put32(head, at.security(), 0);
  Put32(head, at.security() + 4, 0);
  if (head != copy) return Fail(error, "the signed uninstaller copy differs from the copy in more than its signature");
  if (size == 0 || position != copy.size())
    return Fail(error, "the signed uninstaller copy's certificate table does not start where the copy ends");
  if (!CheckCertificateTable(signedCopy, r, copy.size(), position, size, error)) return false;
  if (CopySignatureHeader + uint64_t(size) > report.copySignature.size)
    return Fail(error, "the uninstaller copy's certificate table (" + std::to_string(size) + " bytes) does not fit " +
                           "resource 2003 (" + std::to_string(report.copySignature.size - CopySignatureHeader) +
                           " bytes)");
  uint64_t reserve = report.copySignature.filePosition, header = reserve + report.copySignature.size - CopySignatureHeader;
  std::fill(image.begin() + reserve, image.begin() + reserve + report.copySignature.size, 0);
  std::copy(signedCopy.begin() + position, signedCopy.end(), image.begin() + reserve);
  Put32(image, header, size);
  Put32(image, header + 4, r.U32(at.checkSum()));
  return true;
}
