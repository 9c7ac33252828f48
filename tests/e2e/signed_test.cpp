// The signed installer (signed by the build's signing step with a throwaway certificate, see
// signing-test.sh) installs like the unsigned one and writes a signed uninstaller copy, which
// starts and uninstalls; a download cut inside the installer's signature still has its whole
// payload, one cut inside the payload or the copy's signature does not. Run only through the ctest
// entries that first make the signed file (tests/e2e/CMakeLists.txt); the installed copy is left
// beside the signed installer for signing-test.sh to verify.
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

TEST_F(Signed, DISABLED_InstallsASignedUninstallerCopyThatUninstalls) {
  ASSERT_TRUE(WriteWholeFile(DownloadedSetup, installer));
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
  ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
  ExpectCompletedDialog(setup);
  ExpectInstalledFiles(DefaultInstallFolder);
  ExpectRegistration(DefaultInstallFolder);

  // The copy's own bytes, then the table the build signed it with, named by its security
  // directory; signing-test.sh checks that it verifies.
  const std::string copyPath = InFolder(DefaultInstallFolder, "kavriset.exe");
  std::string copy;
  ASSERT_TRUE(ReadWholeFile(copyPath, copy));
  ResourceSpan reserve;
  ASSERT_TRUE(FindPayloadResource(installer, 2003, reserve));
  const uint32_t header = reserve.position + reserve.size - 8, tableSize = Field32(installer, header);
  ASSERT_NE(tableSize, 0u) << "the signing step left resource 2003 empty";
  ImageFacts facts = ReadImageFacts(copy);
  EXPECT_EQ(facts.lastSectionEnd, Payload().copySize);
  EXPECT_EQ(facts.securityPosition, Payload().copySize);
  EXPECT_EQ(facts.securitySize, tableSize);
  EXPECT_EQ(facts.checkSum, Field32(installer, header + 4));
  EXPECT_TRUE(copy.compare(Payload().copySize, std::string::npos, installer, reserve.position, tableSize) == 0)
      << "the copy does not end with the certificate table of resource 2003";
  ASSERT_TRUE(WriteWholeFile(WindowsPathOf(QUORVEL_SIGNED_DIR "/installed-kavriset.exe"), copy));

  CloseDialogWindow(setup);
  ASSERT_TRUE(WaitForExit(setup, ShortWaitMs, nullptr));
  EndSetup(setup);
  ASSERT_TRUE(StartSetup(setup, copyPath));
  ASSERT_EQ(ControlText(setup, IDC_STATUS), "Installed");
  ClickButton(setup, IDC_UNINSTALL);
  EXPECT_TRUE(WaitForControlText(setup, IDC_STATUS, "Not Installed", LongWaitMs));
  EXPECT_FALSE(FileExists(InFolder(DefaultInstallFolder, "Kavri0.DAT")));
}

// A download cut inside the payload, or inside the copy's signature after it, is incomplete; one
// cut inside the installer's own signature still has everything the installation reads.
TEST_F(Signed, DISABLED_ACutInThePayloadOrTheCopysSignatureIsIncompleteACutInTheSignatureInstalls) {
  ResourceSpan reserve;
  ASSERT_TRUE(FindPayloadResource(installer, 2003, reserve));
  struct Cut {
    const char* where;
    uint32_t length;
    bool installs;
  };
  const Cut cuts[] = {  // the one that installs last: it leaves the installer running
      {"in Kavri0.DAT or the viewer", (Payload().kavri0Data + reserve.position) / 2, false},
      {"in the copy's certificate table", reserve.position + Field32(installer, reserve.position + reserve.size - 8) / 2,
       false},
      {"in the installer's signature", signaturePosition + 100, true},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.where);
    ASSERT_TRUE(WriteWholeFile(DownloadedSetup, CutInstaller(installer, cut.length)));
    ASSERT_TRUE(StartSetup(setup, DownloadedSetup)) << "no dialog titled " << DialogTitle;
    if (cut.installs) {
      ASSERT_TRUE(InstallInto(setup, DefaultInstallFolder));
      ExpectCompletedDialog(setup);
      ExpectInstalledFiles(DefaultInstallFolder);
    } else {
      ExpectInstallMessage(setup, "Your data file is incomplete.\nPlease download the publication again.",
                           DownloadedSetup);
      ExpectStoppedDialog(setup);
      ExitSetup(setup);
      EndSetup(setup);
    }
  }
}

}  // namespace
