// SZDD compression with optimal parsing: the longest match at every position comes from binary
// trees over the 4096-byte window (the initial spaces included), then a shortest-path pass picks
// literals and match lengths that minimise the exact output size (9 bits a literal, 17 a match).
#include "tools/szdd.h"
#include <algorithm>
#include <cstring>

namespace {

const uint8_t SzddMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr uint8_t SzddModeA = 'A';

// A decoder copies a match byte by byte out of the ring it writes into; a source 4096 bytes back
// is the very cell being written, which is safe only if every decoder reads before it writes.
// One byte less of reach costs nothing measurable and needs no such assumption.
constexpr size_t MaxDistance = SzddWindowSize - 1;

// The data is placed after a prefix of spaces that stands for the initial window, so a match
// into the window's start-up content is an ordinary backward match.
constexpr size_t Prefix = SzddWindowSize;

// Prefix positions before this one can only supply runs of spaces no longer than a match,
// which the later prefix positions supply as well.
constexpr size_t FirstIndexedPosition = Prefix - SzddMaxMatch - 1;

constexpr unsigned HashBits = 16;
constexpr uint32_t NoPosition = 0xFFFFFFFFu;

constexpr unsigned LiteralBits = 9;
constexpr unsigned MatchBits = 17;

uint32_t HashTriple(const uint8_t* p) {
  uint32_t key = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  return (key * 2654435761u) >> (32 - HashBits);
}

void PutLittleEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

struct MatchTable {
  std::vector<uint8_t> length;     // longest match at each data position; 0 when under 3
  std::vector<uint16_t> position;  // its source as a ring position
};

// Every position of the window is a node of a binary search tree ordered by the (up to 18)
// bytes that follow it; one tree per 3-byte hash. Inserting a position walks the tree from its
// hash's root, which also meets the longest earlier match, and re-links the nodes it passes so
// the new position becomes the root. Nodes leave the tree once they fall out of the window.
void FindLongestMatches(const std::vector<uint8_t>& text, unsigned searchDepth, MatchTable& matches) {
  size_t end = text.size();
  size_t dataSize = end - Prefix;
  matches.length.assign(dataSize, 0);
  matches.position.assign(dataSize, 0);
  std::vector<uint32_t> head(size_t(1) << HashBits, NoPosition);
  // The two children of position v, kept at (v mod 4096) * 2 and + 1: smaller and larger.
  std::vector<uint32_t> children(SzddWindowSize * 2, NoPosition);

  for (size_t v = FirstIndexedPosition; v + SzddMinMatch <= end; ++v) {
    uint32_t hash = HashTriple(&text[v]);
    size_t limit = std::min(SzddMaxMatch, end - v);
    uint32_t candidate = head[hash];
    head[hash] = uint32_t(v);
    uint32_t* smallerLink = &children[(v & (SzddWindowSize - 1)) * 2];
    uint32_t* largerLink = smallerLink + 1;
    size_t smallerLength = 0, largerLength = 0;
    size_t best = SzddMinMatch - 1;
    size_t bestSource = 0;
    for (unsigned depth = searchDepth;; --depth) {
      if (candidate == NoPosition || v - candidate > MaxDistance || depth == 0) {
        *smallerLink = *largerLink = NoPosition;
        break;
      }
      uint32_t* pair = &children[(candidate & (SzddWindowSize - 1)) * 2];
      size_t length = std::min(smallerLength, largerLength);
      while (length < limit && text[candidate + length] == text[v + length]) ++length;
      if (length > best) {
        best = length;
        bestSource = candidate;
      }
      if (length == limit) {
        // Equal as far as can be compared: the new node takes over the old one's subtrees.
        *smallerLink = pair[0];
        *largerLink = pair[1];
        break;
      }
      if (text[candidate + length] < text[v + length]) {
        *smallerLink = candidate;
        smallerLink = &pair[1];
        candidate = *smallerLink;
        smallerLength = length;
      } else {
        *largerLink = candidate;
        largerLink = &pair[0];
        candidate = *largerLink;
        largerLength = length;
      }
    }
    if (v >= Prefix && best >= SzddMinMatch) {
      matches.length[v - Prefix] = uint8_t(best);
      // Ring position of virtual position u is (u - 16) mod 4096: data byte 0 goes to 4080.
      matches.position[v - Prefix] = uint16_t((bestSource - (Prefix - SzddStartPosition)) & (SzddWindowSize - 1));
    }
  }
}

// Cheapest item at each position for the rest of the data: 1 for a literal, else a match length.
std::vector<uint8_t> ChooseItems(const MatchTable& matches) {
  size_t size = matches.length.size();
  std::vector<uint64_t> cost(size + 1, 0);
  std::vector<uint8_t> choice(size, 1);
  for (size_t i = size; i-- > 0;) {
    uint64_t best = LiteralBits + cost[i + 1];
    uint8_t pick = 1;
    for (size_t length = matches.length[i]; length >= SzddMinMatch; --length) {
      uint64_t c = MatchBits + cost[i + length];
      if (c < best) {
        best = c;
        pick = uint8_t(length);
      }
    }
    cost[i] = best;
    choice[i] = pick;
  }
  return choice;
}

}  // namespace

bool CompressSzdd(const uint8_t* data, size_t size, const SzddOptions& options, std::vector<uint8_t>& out) {
  if (size > 0xFFFFFFFFu) return false;
  out.assign(SzddMagic, SzddMagic + sizeof SzddMagic);
  out.push_back(SzddModeA);
  out.push_back(uint8_t(options.missingChar));
  PutLittleEndian32(out, uint32_t(size));
  if (size == 0) return true;

  std::vector<uint8_t> text(Prefix + size, ' ');
  memcpy(text.data() + Prefix, data, size);
  MatchTable matches;
  FindLongestMatches(text, std::max(1u, options.searchDepth), matches);
  std::vector<uint8_t> choice = ChooseItems(matches);

  out.reserve(SzddHeaderSize + size + size / 8 + 2);
  size_t flagAt = 0;
  unsigned items = 8;
  for (size_t i = 0; i < size;) {
    if (items == 8) {
      flagAt = out.size();
      out.push_back(0);
      items = 0;
    }
    if (choice[i] == 1) {
      out[flagAt] |= uint8_t(1u << items);
      out.push_back(data[i]);
      ++i;
    } else {
      uint16_t position = matches.position[i];
      out.push_back(uint8_t(position & 0xFF));
      out.push_back(uint8_t(((position >> 4) & 0xF0) | (choice[i] - SzddMinMatch)));
      i += choice[i];
    }
    ++items;
  }
  return true;
}

bool ReadSzddHeader(const uint8_t* data, size_t size, SzddHeader& header) {
  if (size < SzddHeaderSize || memcmp(data, SzddMagic, sizeof SzddMagic) != 0 || data[8] != SzddModeA)
    return false;
  header.missingChar = char(data[9]);
  header.expandedSize = data[10] | (uint32_t(data[11]) << 8) | (uint32_t(data[12]) << 16) | (uint32_t(data[13]) << 24);
  return true;
}

bool ExpandSzdd(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  SzddHeader header;
  if (!ReadSzddHeader(data, size, header)) return false;
  out.clear();
  out.reserve(header.expandedSize);
  uint8_t window[SzddWindowSize];
  memset(window, ' ', sizeof window);
  size_t at = SzddStartPosition;
  size_t in = SzddHeaderSize;
  while (out.size() < header.expandedSize && in < size) {
    unsigned flags = data[in++];
    for (unsigned item = 0; item < 8 && out.size() < header.expandedSize && in < size; ++item) {
      if (flags & (1u << item)) {
        window[at] = data[in++];
        out.push_back(window[at]);
        at = (at + 1) & (SzddWindowSize - 1);
        continue;
      }
      if (in + 2 > size) return false;
      size_t position = data[in] | ((data[in + 1] & 0xF0u) << 4);
      size_t length = (data[in + 1] & 0x0Fu) + SzddMinMatch;
      in += 2;
      for (size_t k = 0; k < length && out.size() < header.expandedSize; ++k) {
        uint8_t byte = window[position];
        window[at] = byte;
        out.push_back(byte);
        position = (position + 1) & (SzddWindowSize - 1);
        at = (at + 1) & (SzddWindowSize - 1);
      }
    }
  }
  return out.size() == header.expandedSize;
}
