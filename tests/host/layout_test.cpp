// The installer-layout check on PE32 images built here to order: a well-formed one passes and
// yields the uninstaller copy's size; each broken requirement is refused; damaged headers and
// resource directories are refused without reading out of bounds.
#include <gtest/gtest.h>
#include <map>
#include "tests/host/host_test_support.h"
#include "tools/pe_layout.h"

namespace {

struct FakeResource {
  uint32_t type, id;
  std::vector<uint8_t> data;
};

struct FakePe {
  std::vector<FakeResource> resources;  // in the order their data is laid out
  bool relocAfterResources = false;  // the .reloc section after .rsrc instead of before it
  // One block for the code's page: a 32-bit address at .text+0x10, then padding.
  std::vector<uint16_t> relocationEntries = {0x3010, 0x0000};
  uint32_t relocationSize = 12;  // of the relocation directory, at the start of .reloc
  uint16_t dllCharacteristics = DynamicBase | NxCompatible | NoSeh;
  uint32_t codeRights = 0x60000020, resourceRights = 0x40000040;
  uint32_t ntHeaders = 0x40, headersSize = 0x200;  // as ld writes them: 0x80, 0x400
  size_t trailingBytes = 0;
  uint16_t optionalHeaderSize = 224;
  size_t dataGap = 0;  // extra bytes between data blocks, after alignment
  size_t sectionSlack = 0;  // bytes in the section's raw data after the alignment padding
  // A signature as signtool and osslsigncode append it: named by the security directory.
  std::vector<uint8_t> certificateTable;
  size_t certificateGap = 0;        // bytes between the last section and the table
  int32_t certificateSizeSkew = 0;  // the directory's size minus the table's

  static constexpr uint32_t ResourceRva = 0x3000;
  uint32_t ResourcePosition() const { return headersSize + (relocAfterResources ? 0x200 : 0x400); }

  std::vector<uint8_t> Build() const;
};

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
uint32_t ReadU32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Directory tables first (types, names, languages, data entries), then the data blocks aligned
// to 8 bytes in the order given, as windres lays them out.
std::vector<uint8_t> BuildResourceSection(const std::vector<FakeResource>& resources, size_t gap) {
  std::map<uint32_t, std::vector<size_t>> byType;
  for (size_t i = 0; i < resources.size(); ++i) byType[resources[i].type].push_back(i);
  size_t root = 0;
  size_t next = 16 + 8 * byType.size();
  std::map<uint32_t, size_t> typeDir;
  for (auto& [type, members] : byType) typeDir[type] = next, next += 16 + 8 * members.size();
  std::vector<size_t> languageDir(resources.size()), dataEntry(resources.size()), dataAt(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) languageDir[i] = next, next += 24;
  for (size_t i = 0; i < resources.size(); ++i) dataEntry[i] = next, next += 16;
  for (size_t i = 0; i < resources.size(); ++i) {
    next = (next + 7) & ~size_t(7);
    if (i > 0) next += gap;
    dataAt[i] = next;
    next += resources[i].data.size();
  }
  std::vector<uint8_t> s(next, 0);
  Put16(s, root + 14, uint32_t(byType.size()));
  size_t entry = root + 16;
  for (auto& [type, members] : byType) {
    Put32(s, entry, type);
    Put32(s, entry + 4, 0x80000000u | uint32_t(typeDir[type]));
    entry += 8;
    Put16(s, typeDir[type] + 14, uint32_t(members.size()));
    size_t nameEntry = typeDir[type] + 16;
    for (size_t i : members) {
      Put32(s, nameEntry, resources[i].id);
      Put32(s, nameEntry + 4, 0x80000000u | uint32_t(languageDir[i]));
      nameEntry += 8;
      Put16(s, languageDir[i] + 14, 1);
      Put32(s, languageDir[i] + 16, 0x409);
      Put32(s, languageDir[i] + 20, uint32_t(dataEntry[i]));
      Put32(s, dataEntry[i], FakePe::ResourceRva + uint32_t(dataAt[i]));
      Put32(s, dataEntry[i] + 4, uint32_t(resources[i].data.size()));
      std::copy(resources[i].data.begin(), resources[i].data.end(), s.begin() + dataAt[i]);
    }
  }
  return s;
}

std::vector<uint8_t> FakePe::Build() const {
  std::vector<uint8_t> rsrc = BuildResourceSection(resources, dataGap);
  uint32_t resourceSize = uint32_t(rsrc.size());
  rsrc.resize(((rsrc.size() + 0x1FF) & ~size_t(0x1FF)) + sectionSlack, 0);  // as the linker pads
  std::vector<uint8_t> image(ResourcePosition(), 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, ntHeaders);
  image[ntHeaders] = 'P';
  image[ntHeaders + 1] = 'E';
  Put16(image, ntHeaders + 4, 0x14C);
  Put16(image, ntHeaders + 6, 3);
  Put16(image, ntHeaders + 20, optionalHeaderSize);
  size_t optional = ntHeaders + 24;
  Put16(image, optional, 0x10B);
  Put32(image, optional + 36, 0x200);
  Put32(image, optional + 60, headersSize);
  Put16(image, optional + 70, dllCharacteristics);
  Put32(image, optional + 92, 16);
  Put32(image, optional + 112, ResourceRva);
  Put32(image, optional + 116, resourceSize);
  size_t table = optional + optionalHeaderSize;
  auto putSection = [&](uint32_t index, const char* name, uint32_t rva, uint32_t size, uint32_t position,
                        uint32_t rights) {
    size_t at = table + 40 * index;
    memcpy(&image[at], name, strlen(name));
    Put32(image, at + 8, size);
    Put32(image, at + 12, rva);
    Put32(image, at + 16, size);
    Put32(image, at + 20, position);
    Put32(image, at + 36, rights);
  };
  putSection(0, ".text", 0x1000, 0x200, headersSize, codeRights);
  uint32_t relocationRva = relocAfterResources ? 0x30000 : 0x2000;
  putSection(relocAfterResources ? 2 : 1, ".reloc", relocationRva, 0x200,
             relocAfterResources ? uint32_t((ResourcePosition() + rsrc.size())) : headersSize + 0x200, 0x42000040);
  putSection(relocAfterResources ? 1 : 2, ".rsrc", ResourceRva, uint32_t(rsrc.size()), ResourcePosition(),
             resourceRights);
  Put32(image, optional + 136, relocationRva);
  Put32(image, optional + 140, relocationSize);
  Put32(image, optional + 28, 0x400000);
  if (!relocAfterResources) {
    size_t block = headersSize + 0x200;
    Put32(image, block, 0x1000);
    Put32(image, block + 4, uint32_t(8 + 2 * relocationEntries.size()));
    for (size_t i = 0; i < relocationEntries.size(); ++i) Put16(image, block + 8 + 2 * i, relocationEntries[i]);
  }
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  if (relocAfterResources) image.resize(image.size() + 0x200, 0);
  if (!certificateTable.empty()) {
    image.resize(image.size() + certificateGap, 0);
    Put32(image, optional + 128, uint32_t(image.size()));
    Put32(image, optional + 132, uint32_t(int64_t(certificateTable.size()) + certificateSizeSkew));
    image.insert(image.end(), certificateTable.begin(), certificateTable.end());
  }
  image.resize(image.size() + trailingBytes, 0);
  return image;
}

// One WIN_CERTIFICATE entry of `length` bytes, padded to 8.
std::vector<uint8_t> Certificate(uint32_t length, uint16_t type = 2) {
  std::vector<uint8_t> entry((length + 7) & ~7u, 0);
  std::fill(entry.begin() + 8, entry.begin() + length, 0x30);
  Put32(entry, 0, length);
  Put16(entry, 4, 0x0200);
  Put16(entry, 6, type);
  return entry;
}

std::vector<uint8_t> Filled(size_t size, uint8_t value) { return std::vector<uint8_t>(size, value); }

FakePe GoodInstaller() {
  FakePe pe;
  pe.resources = {{3, 1, Filled(744, 0x11)},         {14, 101, Filled(20, 0x22)},
                  {24, 1, Filled(304, 0x33)},        {256, 2000, Filled(76398, 0x44)},
                  {256, 2001, Filled(12941, 0x55)},  {256, 2002, Filled(4003, 0x66)},
                  {256, 2003, Filled(CopySignatureReserve, 0)}};
  return pe;
}

PayloadSizes SizesOf(const FakePe& pe) {
  PayloadSizes sizes;
  for (int i = 0; i < PayloadResourceCount; ++i) {
    sizes.storedSize[i] = uint32_t(pe.resources[3 + i].data.size());
    sizes.installedSize[i] = sizes.storedSize[i];
  }
  return sizes;
}

std::string LayoutError(const FakePe& pe) {
  LayoutReport report;
  std::string error;
  PayloadSizes sizes = SizesOf(GoodInstaller());
  EXPECT_FALSE(CheckLayout(pe.Build(), &sizes, report, error));
  return error;
}

TEST(Layout, AcceptsPayloadAtTheEndAndMeasuresTheCopy) {
  FakePe pe = GoodInstaller();
  std::vector<uint8_t> image = pe.Build();
  PayloadSizes sizes = SizesOf(pe);
  LayoutReport report;
  std::string error;
  ASSERT_TRUE(CheckLayout(image, &sizes, report, error)) << error;
  EXPECT_EQ(report.fileSize, image.size());
  EXPECT_EQ(report.copySignature.filePosition, (report.payload[2].filePosition + report.payload[2].size + 7) & ~7u);
  EXPECT_EQ(report.copySignature.filePosition + CopySignatureReserve + report.trailingPadding, image.size());
  EXPECT_LT(report.trailingPadding, 0x200u);
  EXPECT_EQ(report.copySize, report.payload[0].filePosition);
  EXPECT_EQ(report.payload[0].size, 76398u);
  EXPECT_TRUE(std::equal(image.begin() + report.copySize, image.begin() + report.copySize + 76398,
                         Filled(76398, 0x44).begin()));
  EXPECT_EQ(image[report.copySize - 1], 0x33);  // the copy ends with the last other resource
  EXPECT_EQ(report.certificateTableSize, 0u);
  EXPECT_TRUE(CheckLayout(image, nullptr, report, error)) << error;

  // Signed once, or twice in two entries: the table is reported and the copy is unchanged.
  LayoutReport unsigned_ = report;
  std::vector<uint8_t> twice = Certificate(1413);
  for (uint8_t byte : Certificate(900)) twice.push_back(byte);
  for (const std::vector<uint8_t>& table : {Certificate(1413), twice}) {
    FakePe signedPe = GoodInstaller();
    signedPe.certificateTable = table;
    ASSERT_TRUE(CheckLayout(signedPe.Build(), &sizes, report, error)) << error;
    EXPECT_EQ(report.certificateTableSize, table.size());
    EXPECT_EQ(report.copySize, unsigned_.copySize);
    EXPECT_EQ(report.trailingPadding, unsigned_.trailingPadding);
  }
}

struct LayoutCase {
  const char* name;
  void (*damage)(FakePe&);
  const char* error;
};

TEST(Layout, RefusesBrokenRequirements) {
  const LayoutCase cases[] = {
      {"relocations after the resources", [](FakePe& pe) { pe.relocAfterResources = true; },
       "the resource section is not the last section (last is .reloc)"},
      {"bytes after the section", [](FakePe& pe) { pe.trailingBytes = 16; }, "follow the last section"},
      {"slack in the section", [](FakePe& pe) { pe.sectionSlack = 0x200; }, "more than alignment padding"},
      {"2001's data before 2000's", [](FakePe& pe) { std::swap(pe.resources[3], pe.resources[4]); },
       "does not follow"},
      {"icon data last",
       [](FakePe& pe) { std::rotate(pe.resources.begin(), pe.resources.begin() + 1, pe.resources.end()); },
       "does not come before the payload"},
      {"a gap between payload resources", [](FakePe& pe) { pe.dataGap = 16; }, "does not follow"},
      {"no resource 2002", [](FakePe& pe) { pe.resources.erase(pe.resources.begin() + 5); },
       "2002 of type 256 is missing"},
      {"no resource 2003", [](FakePe& pe) { pe.resources.pop_back(); },
       "2003 of type 256 (the uninstaller copy's signature) is missing"},
      {"2003's data first",
       [](FakePe& pe) { std::rotate(pe.resources.begin() + 3, pe.resources.begin() + 6, pe.resources.end()); },
       "2003 does not follow resource 2002"},
      {"a smaller reserve", [](FakePe& pe) { pe.resources[6].data.resize(8192); },
       "resource 2003 holds 8192 bytes, not the 16384 reserved"},
      {"a resource of another size", [](FakePe& pe) { pe.resources[4].data.push_back(0); },
       "resource 2001 holds 12942 bytes"},
      {"a longer optional header", [](FakePe& pe) { pe.optionalHeaderSize = 240; }, "not 224"},
      // The hardening.
      {"a fixed base", [](FakePe& pe) { pe.dllCharacteristics &= ~DynamicBase; }, "does not declare DYNAMIC_BASE"},
      {"executable data", [](FakePe& pe) { pe.dllCharacteristics &= ~NxCompatible; }, "does not declare NX_COMPAT"},
      {"exception handlers", [](FakePe& pe) { pe.dllCharacteristics &= ~NoSeh; }, "does not declare NO_SEH"},
      {"writable code", [](FakePe& pe) { pe.codeRights |= SectionWritable; }, "section .text is writable and executable"},
      {"writable resources", [](FakePe& pe) { pe.resourceRights |= SectionWritable; }, "the resource section is writable"},
      {"no relocations", [](FakePe& pe) { pe.relocationSize = 0; }, "no base relocations"},
      {"relocations running into the resources", [](FakePe& pe) { pe.relocationSize = 0x1001; },
       "inside the resource section"},
  };
  for (const LayoutCase& c : cases) {
    FakePe pe = GoodInstaller();
    c.damage(pe);
    EXPECT_NE(LayoutError(pe).find(c.error), std::string::npos) << c.name << ": " << LayoutError(pe);
  }
}

// ld's layout: the NT headers after its 128-byte DOS stub, the headers in two file blocks, the
// resource section writable. Sealed, the image passes, one block shorter, its payload unchanged.
TEST(Layout, SealingPacksTheHeadersAndMakesTheResourcesReadOnly) {
  FakePe linked = GoodInstaller();
  linked.ntHeaders = 0x80;
  linked.headersSize = 0x400;
  linked.resourceRights |= SectionWritable;
  EXPECT_NE(LayoutError(linked).find("the resource section is writable"), std::string::npos);
  std::vector<uint8_t> image = linked.Build();
  std::string error;
  ASSERT_TRUE(SealImage(image, error)) << error;
  // Byte for byte the image laid out so from the start, but for the checksum ld's tools fill in.
  std::vector<uint8_t> unsummed = image;
  Put32(unsummed, 0x40 + 24 + 64, 0);
  EXPECT_EQ(unsummed, GoodInstaller().Build());
  LayoutReport report;
  PayloadSizes sizes = SizesOf(GoodInstaller());
  EXPECT_TRUE(CheckLayout(image, &sizes, report, error)) << error;

  std::vector<uint8_t> signedImage = GoodInstaller().Build();
  Put32(signedImage, 0x40 + 24 + 132, 8);
  EXPECT_FALSE(SealImage(signedImage, error));
  EXPECT_NE(error.find("signature"), std::string::npos);
}

// The same image at base 0x10000000: the words at the given offsets into .text moved with it.
std::vector<uint8_t> Rebased(const FakePe& pe, const std::vector<uint32_t>& moved) {
  std::vector<uint8_t> image = pe.Build();
  Put32(image, 0x40 + 24 + 28, 0x10000000);
  for (uint32_t at : moved) Put32(image, pe.headersSize + at, 0x10000000 - 0x400000);
  return image;
}

TEST(Layout, RelocationsNameExactlyTheWordsThatMoveWithTheBase) {
  struct Case {
    const char* name;
    std::vector<uint16_t> entries;
    std::vector<uint32_t> moved;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {"the one address relocated", {0x3010, 0}, {0x10}, nullptr},
      {"an address without relocation", {0x3010, 0}, {0x10, 0x20}, "0x1020 in .text moves with the base, but no base"},
      {"a relocation of a constant", {0x3010, 0x3020}, {0x10}, "at 0x1020 names a word that does not move"},
      {"a 64-bit relocation", {0xA010, 0}, {0x10}, "not a 32-bit address"},
  };
  for (const Case& c : cases) {
    FakePe pe = GoodInstaller();
    pe.relocationEntries = c.entries;
    std::string error;
    bool accepted = CheckRelocations(pe.Build(), Rebased(pe, c.moved), error);
    EXPECT_EQ(accepted, c.error == nullptr) << c.name << ": " << error;
    if (c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
  }
}

// After the sections only the certificate table the security directory names may follow, whole.
TEST(Layout, RefusesAnythingButTheNamedCertificateTableAfterTheSections) {
  const LayoutCase cases[] = {
      {"bytes after the table", [](FakePe& pe) { pe.trailingBytes = 16; }, "16 bytes follow the certificate table"},
      {"a gap before the table", [](FakePe& pe) { pe.certificateGap = 8; }, "8 bytes lie between"},
      {"a size past the end", [](FakePe& pe) { pe.certificateSizeSkew = 8; }, "runs past the end of the file"},
      {"a size short of the end", [](FakePe& pe) { pe.certificateSizeSkew = -8; }, "8 bytes follow the certificate"},
      {"an X.509 entry", [](FakePe& pe) { pe.certificateTable = Certificate(1413, 1); }, "not an Authenticode"},
      {"an entry longer than the table",
       [](FakePe& pe) { Put32(pe.certificateTable, 0, uint32_t(pe.certificateTable.size() + 8)); },
       "does not fit the certificate table"},
      {"an entry of length 0", [](FakePe& pe) { Put32(pe.certificateTable, 0, 0); }, "does not fit the certificate table"},
  };
  for (const LayoutCase& c : cases) {
    FakePe pe = GoodInstaller();
    pe.certificateTable = Certificate(1413);
    c.damage(pe);
    EXPECT_NE(LayoutError(pe).find(c.error), std::string::npos) << c.name << ": " << LayoutError(pe);
  }
}

TEST(Layout, RefusesTruncatedAndDamagedImagesSafely) {
  std::vector<uint8_t> image = GoodInstaller().Build();
  LayoutReport report;
  std::string error;
  std::vector<uint8_t> cut(image.begin(), image.end() - 1);
  EXPECT_FALSE(CheckLayout(cut, nullptr, report, error));
  EXPECT_NE(error.find("past the end"), std::string::npos);
  for (size_t length : {0u, 2u, 63u, 0x60u, 0x200u})
    EXPECT_FALSE(CheckLayout(std::vector<uint8_t>(image.begin(), image.begin() + length), nullptr, report, error));

  // Every single damaged byte in the headers and the resource directory is either tolerated or
  // refused; the sanitizers catch any read outside the image.
  size_t directoryEnd = GoodInstaller().ResourcePosition() + 16 + 8 * 4 + 4 * 16 + 7 * (24 + 16 + 8);
  for (size_t at = 0; at < directoryEnd; ++at) {
    std::vector<uint8_t> damaged = image;
    damaged[at] ^= 0xFF;
    CheckLayout(damaged, nullptr, report, error);
  }
}

// The build's signing step: the copy it signs, then the signed copy's table in resource 2003, and
// only from the copy it made. The rest (the installed copy byte for byte, a table too large) is
// checked on the real installer by tests/e2e/signing-test.sh.
TEST(Layout, CarriesTheSignedCopysCertificateTableInResource2003) {
  std::vector<uint8_t> image = GoodInstaller().Build();
  PayloadSizes sizes = SizesOf(GoodInstaller());
  LayoutReport report;
  std::string error;
  ASSERT_TRUE(CheckLayout(image, &sizes, report, error)) << error;
  std::vector<uint8_t> copy = UninstallerCopy(image, report);
  ASSERT_EQ(copy.size(), report.copySize);
  const size_t optional = 0x58;

  // As osslsigncode signs it: checksum, security directory, table at the copy's end.
  auto signedCopy = [&](const std::vector<uint8_t>& table) {
    std::vector<uint8_t> bytes = copy;
    Put32(bytes, optional + 64, 0x1234);
    Put32(bytes, optional + 128, uint32_t(bytes.size()));
    Put32(bytes, optional + 132, uint32_t(table.size()));
    bytes.insert(bytes.end(), table.begin(), table.end());
    return bytes;
  };
  std::vector<uint8_t> table = Certificate(1413);
  std::vector<uint8_t> filled = image;
  ASSERT_TRUE(FillCopySignature(filled, report, signedCopy(table), error)) << error;
  ASSERT_TRUE(CheckLayout(filled, &sizes, report, error)) << error;
  EXPECT_EQ(report.copyCertificateTableSize, table.size());
  const size_t reserve = report.copySignature.filePosition, header = reserve + CopySignatureReserve - 8;
  EXPECT_EQ(ReadU32(filled, header), table.size());
  EXPECT_EQ(ReadU32(filled, header + 4), 0x1234u);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), filled.begin() + reserve));

  std::vector<uint8_t> changed = signedCopy(table);
  changed[report.copySize - 1] ^= 1;
  EXPECT_FALSE(FillCopySignature(filled, report, changed, error));
  EXPECT_NE(error.find("differs from the copy"), std::string::npos) << error;
}

TEST(Layout, ParsesPayloadSizes) {
  PayloadSizes sizes;
  std::string error;
  std::string text =
      "# comment\nname_2000 Kavri1.DAT\nstored_size_2000 76398\ninstalled_size_2000 76398\ncrc_2000 0xF2768122\n"
      "stored_size_2001 12941\ninstalled_size_2001 12941\nstored_size_2002 626406\ninstalled_size_2002 1119296\n"
      "installed_total 1208635\n";
  ASSERT_TRUE(ParsePayloadSizes(text, sizes, error)) << error;
  EXPECT_EQ(sizes.crc[0], 0xF2768122u);
  EXPECT_EQ(sizes.storedSize[2], 626406u);
  EXPECT_EQ(sizes.installedSize[2], 1119296u);
  EXPECT_EQ(sizes.installedTotal, 1208635u);
  EXPECT_EQ(sizes.name[0], "Kavri1.DAT");

  EXPECT_FALSE(ParsePayloadSizes("stored_size_2000 1\n", sizes, error));
  std::string bad = text;
  bad.replace(bad.find("626406"), 6, "62x406");
  EXPECT_FALSE(ParsePayloadSizes(bad, sizes, error));
}

}  // namespace
