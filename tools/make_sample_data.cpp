// make_sample_data DIR: writes the sample publication's two data files, Kavri1.DAT (76,398 bytes
// of pages) and Kavri0.DAT (12,941 bytes of index), as pseudo-text from a fixed-seed generator,
// so every build carries byte-identical files and the same CRC-32 values.
#include <cstdint>
#include <cstdio>
#include <string>
#include "tools/tool_files.h"

namespace {

constexpr size_t PagesSize = 76398;
constexpr size_t IndexSize = 12941;

// xorshift32: small, fixed, and the same on every platform.
struct Generator {
  uint32_t state;
  uint32_t Next(uint32_t bound) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state % bound;
  }
};

const char* const Syllables[] = {"qu", "or", "vel", "ka", "vri", "sta", "to", "rix", "an", "mer", "lo", "thi",
                                 "den", "sa", "ul", "pe", "ra", "nor", "va", "ne", "is", "ta", "ko", "lin"};

std::string MakeWord(Generator& g) {
  std::string word;
  unsigned count = 1 + g.Next(3);
  for (unsigned i = 0; i < count; ++i) word += Syllables[g.Next(sizeof Syllables / sizeof Syllables[0])];
  return word;
}

// Appends words to `text` wrapped at 72 columns with CR LF line ends, up to `words` words.
void AppendParagraph(std::string& text, Generator& g, unsigned words) {
  size_t column = 0;
  for (unsigned i = 0; i < words; ++i) {
    std::string word = MakeWord(g);
    if (i == 0) word[0] = char(word[0] - 'a' + 'A');
    if (i + 1 == words) word += '.';
    else if (g.Next(9) == 0) word += ',';
    if (column + word.size() + 1 > 72) {
      text += "\r\n";
      column = 0;
    } else if (column > 0) {
      text += ' ';
      ++column;
    }
    text += word;
    column += word.size();
  }
  text += "\r\n\r\n";
}

std::string MakePages(size_t size) {
  Generator g{0x51u * 0x1000193u};
  std::string text;
  for (unsigned page = 1; text.size() < size; ++page) {
    text += "Quorvel - page " + std::to_string(page) + "\r\n\r\n";
    unsigned paragraphs = 2 + g.Next(4);
    for (unsigned p = 0; p < paragraphs; ++p) AppendParagraph(text, g, 20 + g.Next(60));
    text += "\f";
  }
  text.resize(size);
  return text;
}

std::string MakeIndex(size_t size) {
  Generator g{0x4B617672u};
  std::string text = "Quorvel - index\r\n\r\n";
  while (text.size() < size) {
    std::string word = MakeWord(g);
    text += word + std::string(word.size() < 24 ? 24 - word.size() : 1, ' ') + std::to_string(1 + g.Next(160)) + "\r\n";
  }
  text.resize(size);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_sample_data DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  std::string error;
  if (!CommitOutputs({{dir + "/Kavri1.DAT", BytesOfText(MakePages(PagesSize))},
                      {dir + "/Kavri0.DAT", BytesOfText(MakeIndex(IndexSize))}},
                     error)) {
    fprintf(stderr, "make_sample_data: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
