// Whole-file reads and all-or-nothing, change-only writes for the build tools.
#include "tools/tool_files.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
  data.clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) {
    error = path + ": " + strerror(errno);
    return false;
  }
  uint8_t block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, file)) > 0) data.insert(data.end(), block, block + n);
  bool failed = ferror(file) != 0;
  int readErrno = errno;
  fclose(file);
  if (failed) {
    error = path + ": " + strerror(readErrno);
    return false;
  }
  return true;
}

namespace {

bool FileHasContent(const std::string& path, const std::vector<uint8_t>& content) {
  std::vector<uint8_t> present;
  std::string ignored;
  return ReadWholeFile(path, present, ignored) && present == content;
}

bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& content, std::string& error) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) {
    error = path + ": " + strerror(errno);
    return false;
  }
  bool ok = content.empty() || fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = (fclose(file) == 0) && ok;
  if (!ok) error = path + ": write failed: " + strerror(errno);
  return ok;
}

}  // namespace

bool CommitOutputs(const std::vector<PendingOutput>& outputs, std::string& error) {
  std::vector<const PendingOutput*> changed;
  for (const PendingOutput& output : outputs)
    if (!FileHasContent(output.path, output.content)) changed.push_back(&output);

  std::string suffix = ".tmp" + std::to_string(getpid());
  std::vector<std::string> written;
  bool ok = true;
  for (const PendingOutput* output : changed) {
    std::string temporary = output->path + suffix;
    if (!WriteNewFile(temporary, output->content, error)) {
      remove(temporary.c_str());
      ok = false;
      break;
    }
    written.push_back(temporary);
  }
  if (!ok) {
    for (const std::string& temporary : written) remove(temporary.c_str());
    return false;
  }
  for (size_t i = 0; i < changed.size(); ++i) {
    if (rename(written[i].c_str(), changed[i]->path.c_str()) != 0) {
      error = changed[i]->path + ": " + strerror(errno);
      for (size_t k = i; k < written.size(); ++k) remove(written[k].c_str());
      return false;
    }
  }
  return true;
}

std::vector<uint8_t> BytesOfText(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
