// File helpers shared by the build tools: whole-file reads with a readable error, and writes that
// leave an output untouched when its content is unchanged (so rebuilds stay quiet) and replace
// a set of outputs together or not at all.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error);

struct PendingOutput {
  std::string path;
  std::vector<uint8_t> content;
};

// Writes every output whose file differs from its content, first under a temporary name beside
// it, then renames them all. On any failure the temporaries are removed, no output is replaced,
// and false is returned with the reason.
bool CommitOutputs(const std::vector<PendingOutput>& outputs, std::string& error);

std::vector<uint8_t> BytesOfText(const std::string& text);
