// The signed installer (signed by the build's signing step with a throwaway certificate, see
// signing-test.sh) installs like the unsigned one; its uninstaller copy carries no signature; a
// download cut inside the signature still has its whole payload, one cut inside the payload does
// not. Run only through the ctest entries that first make the signed file (tests/e2e/CMakeLists.txt).
#include <gtest/gtest.h>

#include <cstring>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/e2e/scenario.h"
#include "tests/wine/wine_test_support.h"

namespace {

uint32_t Field32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

struct ImageFacts {
  uint32_t securityPosition, securitySize, checkSum;
  uint64_t lastSectionEnd;
};

ImageFacts ReadImageFacts(const std::string& bytes) {
  uint32_t nt = Field32(bytes, 0x3C);
  uint32_t optional = nt + 24;
  uint16_t sections = 0;
  if (nt + 8 <= bytes.size()) std::memcpy(&sections, bytes.data() + nt + 6, 2);
  uint32_t last = optional + 224 + 40 * (sections - 1u);
  return {Field32(bytes, optional + 128), Field32(bytes, optional + 132), Field32(bytes, optional + 64),
          uint64_t(Field32(bytes, last + 20)) + Field32(bytes, last + 16)};
}

class Signed : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReadWholeFile(WindowsPathOf(QUORVEL_SIGNED_SETUP_EXE), installer))
        << "no signed installer: ctest runs Signing.BuildStepSignsVerifiesAndRefuses first";
    ImageFacts facts = ReadImageFacts(installer);
    ASSERT_NE(facts.securitySize, 0u) << "the installer is not signed";
    ASSERT_EQ(facts.securityPosition + uint64_t(facts.securitySize), installer.size());
    signaturePosition = facts.securityPosition;
    ASSERT_TRUE(MakeDirectories("C:\\Downloads"));
  }
  void TearDown() override { EndSetup(setup); }

  SetupProcess setup;
  std::string installer;
  uint32_t signaturePosition = 0;
};

TEST_F(Signed, DISABLED_InstallsAndItsUninstallerCopyCarriesNoSignature) {
  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, installer));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);

  std::string copy;
  ASSERT_TRUE(ReadWholeFile(InFolder(DefaultInstallFolder, "kavriset.exe"), copy));
  ImageFacts facts = ReadImageFacts(copy);
  EXPECT_EQ(facts.securityPosition, 0u);
  EXPECT_EQ(facts.securitySize, 0u);
  EXPECT_EQ(facts.checkSum, 0u);
  EXPECT_EQ(facts.lastSectionEnd, copy.size()) << "bytes after the copy's last section";
}

TEST_F(Signed, DISABLED_ACutInThePayloadIsIncompleteACutInTheSignatureInstalls) {
  uint32_t into = (Payload().kavri0Data + signaturePosition) / 2;  // in Kavri0.DAT or the viewer
  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, CutInstaller(installer, into)));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  ExpectInstallMessage(setup, "Your data file is incomplete.\nPlease download the publication again.",
                       DownloadedSetup);
  ExpectStoppedDialog(setup);
  ExitSetup(setup);
  EndSetup(setup);

  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, CutInstaller(installer, signaturePosition + 100)));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
}

}  // namespace
