// check_layout [--progress-total OUT.cpp] [--payload-sizes F] [--report R] [--rebased EXE2] EXE:
// refuses an installer whose payload is not laid out for the uninstaller cut or that is not
// hardened (run again after signing, when the signature must be the only thing after the
// sections), or whose relocations miss an address (EXE2: the same link at another base), and
// derives from the linked file what only the link can tell: the uninstaller copy's size and so
// the progress total.
// For signing (cmake/sign_installer.cmake): --write-copy OUT writes the uninstaller copy as the
// installer will write it, and --copy-signature SIGNED puts the signed copy's certificate table
// into EXE's resource 2003.
#include <cstdio>
#include <cstring>
#include <string>
#include "tools/pe_layout.h"
#include "tools/tool_files.h"

namespace {

int ShowUsage() {
  fprintf(stderr, "usage: check_layout [--progress-total OUT.cpp] [--payload-sizes FILE] [--report FILE] [--rebased EXE2]\n"
                  "                    [--write-copy OUT | --copy-signature SIGNED-COPY] EXE\n");
  return 2;
}

std::string ReportText(const std::string& exe, const LayoutReport& report, const PayloadSizes* sizes,
                       uint64_t progressTotal) {
  std::string text = "Installer layout: " + exe + "\n";
  char line[256];
  snprintf(line, sizeof line, "  installer size        %10u bytes\n", report.fileSize);
  text += line;
  snprintf(line, sizeof line, "  uninstaller copy size %10u bytes (position of resource 2000's data)\n", report.copySize);
  text += line;
  if (report.certificateTableSize) {
    snprintf(line, sizeof line, "  certificate table     %10u bytes (signed; not part of the uninstaller copy)\n",
             report.certificateTableSize);
    text += line;
  }
  for (int i = 0; i < PayloadResourceCount; ++i) {
    snprintf(line, sizeof line, "  resource %u  position %10u  size %10u", PayloadResourceIds[i],
             report.payload[i].filePosition, report.payload[i].size);
    text += line;
    if (sizes) {
      snprintf(line, sizeof line, "  installed %10u  CRC-32 0x%08X  %s", sizes->installedSize[i], sizes->crc[i],
               sizes->name[i].c_str());
      text += line;
    }
    text += "\n";
  }
  snprintf(line, sizeof line, "  resource %u  position %10u  size %10u  the uninstaller copy's signature: ", CopySignatureId,
           report.copySignature.filePosition, report.copySignature.size);
  text += line;
  if (report.copyCertificateTableSize)
    snprintf(line, sizeof line, "a %u-byte certificate table\n", report.copyCertificateTableSize);
  else
    snprintf(line, sizeof line, "none (an unsigned copy)\n");
  text += line;
  if (sizes) {
    snprintf(line, sizeof line, "  ProgressTotal         %10llu bytes\n", static_cast<unsigned long long>(progressTotal));
    text += line;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string progressPath, sizesPath, reportPath, rebasedPath, copyPath, signedCopyPath, exePath;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--progress-total") == 0 && i + 1 < argc) progressPath = argv[++i];
    else if (strcmp(argv[i], "--payload-sizes") == 0 && i + 1 < argc) sizesPath = argv[++i];
    else if (strcmp(argv[i], "--report") == 0 && i + 1 < argc) reportPath = argv[++i];
    else if (strcmp(argv[i], "--rebased") == 0 && i + 1 < argc) rebasedPath = argv[++i];
    else if (strcmp(argv[i], "--write-copy") == 0 && i + 1 < argc) copyPath = argv[++i];
    else if (strcmp(argv[i], "--copy-signature") == 0 && i + 1 < argc) signedCopyPath = argv[++i];
    else if (argv[i][0] != '-' && exePath.empty()) exePath = argv[i];
    else return ShowUsage();
  }
  if (exePath.empty()) return ShowUsage();
  if (!progressPath.empty() && sizesPath.empty()) {
    fprintf(stderr, "check_layout: --progress-total needs --payload-sizes\n");
    return 2;
  }

  std::string error;
  PayloadSizes sizes;
  bool haveSizes = !sizesPath.empty();
  if (haveSizes) {
    std::vector<uint8_t> text;
    if (!ReadWholeFile(sizesPath, text, error) || !ParsePayloadSizes(std::string(text.begin(), text.end()), sizes, error)) {
      fprintf(stderr, "check_layout: %s\n", error.c_str());
      return 1;
    }
  }
  std::vector<uint8_t> image;
  if (!ReadWholeFile(exePath, image, error)) {
    fprintf(stderr, "check_layout: %s\n", error.c_str());
    return 1;
  }
  LayoutReport report;
  if (!CheckLayout(image, haveSizes ? &sizes : nullptr, report, error)) {
    fprintf(stderr, "check_layout: %s: %s\n", exePath.c_str(), error.c_str());
    return 1;
  }
  std::vector<uint8_t> rebased;
  if (!rebasedPath.empty() &&
      (!ReadWholeFile(rebasedPath, rebased, error) || !CheckRelocations(image, rebased, error))) {
    fprintf(stderr, "check_layout: %s: %s\n", exePath.c_str(), error.c_str());
    return 1;
  }
  uint64_t progressTotal = report.copySize + sizes.installedTotal;
  if (haveSizes && progressTotal > 0xFFFFFFFFull) {
    fprintf(stderr, "check_layout: the progress total %llu does not fit 32 bits\n",
            static_cast<unsigned long long>(progressTotal));
    return 1;
  }

  std::vector<PendingOutput> outputs;
  if (!copyPath.empty()) outputs.push_back({copyPath, UninstallerCopy(image, report)});
  if (!signedCopyPath.empty()) {
    std::vector<uint8_t> signedCopy;
    if (!ReadWholeFile(signedCopyPath, signedCopy, error) || !FillCopySignature(image, report, signedCopy, error) ||
        !CheckLayout(image, haveSizes ? &sizes : nullptr, report, error)) {
      fprintf(stderr, "check_layout: %s\n", error.c_str());
      return 1;
    }
    outputs.push_back({exePath, image});
  }
  if (!progressPath.empty())
    outputs.push_back({progressPath, BytesOfText("#include <cstdint>\nextern const uint32_t ProgressTotal = " +
                                                 std::to_string(progressTotal) + ";\n")});
  std::string text = ReportText(exePath, report, haveSizes ? &sizes : nullptr, progressTotal);
  if (!reportPath.empty()) outputs.push_back({reportPath, BytesOfText(text)});
  if (!CommitOutputs(outputs, error)) {
    fprintf(stderr, "check_layout: cannot write %s\n", error.c_str());
    return 1;
  }
  if (!reportPath.empty()) fputs(text.c_str(), stdout);
  return 0;
}
