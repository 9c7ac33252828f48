// szdd_compress [--missing-char C] [--search-depth N] IN OUT: writes IN in the SZDD format.
// The header keeps C as the name's replaced last character (default 0, as mscompress writes).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "tools/szdd.h"
#include "tools/tool_files.h"

namespace {

int ShowUsage() {
  fprintf(stderr, "usage: szdd_compress [--missing-char C] [--search-depth N] IN OUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SzddOptions options;
  const char* paths[2] = {nullptr, nullptr};
  int pathCount = 0;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--missing-char") == 0 && i + 1 < argc && strlen(argv[i + 1]) == 1) {
      options.missingChar = argv[++i][0];
    } else if (strcmp(argv[i], "--search-depth") == 0 && i + 1 < argc) {
      options.searchDepth = unsigned(strtoul(argv[++i], nullptr, 10));
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return ShowUsage();
    } else if (pathCount < 2) {
      paths[pathCount++] = argv[i];
    } else {
      return ShowUsage();
    }
  }
  if (pathCount != 2) return ShowUsage();

  std::vector<uint8_t> input, output;
  std::string error;
  if (!ReadWholeFile(paths[0], input, error)) {
    fprintf(stderr, "szdd_compress: cannot read %s\n", error.c_str());
    return 1;
  }
  if (!CompressSzdd(input.data(), input.size(), options, output)) {
    fprintf(stderr, "szdd_compress: %s is too large for the SZDD format\n", paths[0]);
    return 1;
  }
  if (!CommitOutputs({{paths[1], output}}, error)) {
    fprintf(stderr, "szdd_compress: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
