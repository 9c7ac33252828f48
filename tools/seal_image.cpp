// seal_image EXE: finishes the linked installer in place where the linker cannot (see SealImage):
// the resource section read-only, the headers in one file block. Run before the layout check.
#include <cstdio>
#include "tools/pe_layout.h"
#include "tools/tool_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: seal_image EXE\n");
    return 2;
  }
  std::vector<uint8_t> image;
  std::string error;
  if (!ReadWholeFile(argv[1], image, error) || !SealImage(image, error) ||
      !CommitOutputs({{argv[1], image}}, error)) {
    fprintf(stderr, "seal_image: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
