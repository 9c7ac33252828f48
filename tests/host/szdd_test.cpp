// SZDD output must expand to the exact input through every reader that matters: Debian's msexpand
// (run as a process), libmspack and the tools' own expander (Wine's lz32 is exercised by the
// installer's tests). Inputs cover the window's edges: matches into the initial spaces, the
// shortest and longest matches, ring wrap-around and sources at the far end of the window.
#include <gtest/gtest.h>
#include <mspack.h>
#include <random>
#include "tests/host/host_test_support.h"
#include "tools/szdd.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> data(size);
  for (uint8_t& b : data) b = uint8_t(generator());
  return data;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& input, char missingChar = 0) {
  SzddOptions options;
  options.missingChar = missingChar;
  std::vector<uint8_t> out;
  EXPECT_TRUE(CompressSzdd(input.data(), input.size(), options, out));
  return out;
}

// Compresses, then expands with each reader and expects the input back.
void ExpectRoundTrip(const std::vector<uint8_t>& input, const std::string& label) {
  SCOPED_TRACE(label);
  TempDir dir;
  std::vector<uint8_t> packed = Compress(input, 'e');
  WriteBytes(dir / "in.ex_", packed);

  std::vector<uint8_t> ours;
  EXPECT_TRUE(ExpandSzdd(packed.data(), packed.size(), ours));
  EXPECT_TRUE(ours == input) << "own expander";

  ASSERT_EQ(RunCommand(std::string(QUORVEL_MSEXPAND) + " < '" + (dir / "in.ex_") + "' > '" + (dir / "ms.out") + "'"), 0);
  EXPECT_TRUE(ReadBytes(dir / "ms.out") == input) << "msexpand";

  msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
  ASSERT_NE(d, nullptr);
  msszddd_header* header = d->open(d, (dir / "in.ex_").c_str());
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->format, MSSZDD_FMT_NORMAL);
  EXPECT_EQ(header->length, off_t(input.size()));
  EXPECT_EQ(header->missing_char, 'e');
  EXPECT_EQ(d->extract(d, header, (dir / "mspack.out").c_str()), MSPACK_ERR_OK);
  d->close(d, header);
  mspack_destroy_szdd_decompressor(d);
  EXPECT_TRUE(ReadBytes(dir / "mspack.out") == input) << "libmspack";
}

TEST(Szdd, RoundTripsOrdinaryInputs) {
  ExpectRoundTrip({}, "empty");
  ExpectRoundTrip({'Q'}, "one byte");
  ExpectRoundTrip(Bytes("Quorvel Quorvel Quorvel!"), "tiny");
  ExpectRoundTrip(std::vector<uint8_t>(200000, 0), "zeros");
  ExpectRoundTrip(Bytes(std::string(3000, 'a') + std::string(3000, 'b') + "abababababab"), "runs");
  ExpectRoundTrip(RandomBytes(70000, 1), "random");
}

TEST(Szdd, RoundTripsARealExecutable) {
  std::vector<uint8_t> program = ReadBytes(QUORVEL_SAMPLE_EXECUTABLE);
  ASSERT_GT(program.size(), 10000u);
  ExpectRoundTrip(program, QUORVEL_SAMPLE_EXECUTABLE);
  EXPECT_LT(Compress(program).size(), program.size() * 3 / 4);
}

TEST(Szdd, RoundTripsWindowEdges) {
  ExpectRoundTrip(Bytes(std::string(18, ' ')), "exactly the initial spaces");
  ExpectRoundTrip(Bytes(std::string(5000, ' ')), "spaces past the window");
  ExpectRoundTrip(Bytes("    x    y      z" + std::string(20, ' ') + "end"), "short space runs");
  ExpectRoundTrip(Bytes("abcXabcYabcdefghijklmnopqrZabcdefghijklmnopqr"), "lengths 3 and 18");
  // Repeats at distances just under, at and over the window size.
  for (size_t distance : {4094u, 4095u, 4096u, 4097u, 4111u}) {
    std::vector<uint8_t> block = RandomBytes(distance, uint32_t(distance));
    std::vector<uint8_t> data = block;
    data.insert(data.end(), block.begin(), block.end());
    ExpectRoundTrip(data, "repeat at distance " + std::to_string(distance));
  }
  // Enough text that the write position wraps around the ring several times.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "page " + std::to_string(i % 97) + " of the publication; ";
  ExpectRoundTrip(Bytes(text), "ring wrap");
}

TEST(Szdd, HeaderAndMatchesAreWhereReadersExpectThem) {
  std::vector<uint8_t> packed = Compress(Bytes(std::string(18, ' ')), 'e');
  // Header, one flag byte, then a single match of 18 spaces from the initial window.
  ASSERT_EQ(packed.size(), SzddHeaderSize + 3);
  EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 14),
            (std::vector<uint8_t>{'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 'e', 18, 0, 0, 0}));
  EXPECT_EQ(packed[14], 0);           // the first item is a match
  EXPECT_EQ(packed[16] & 0x0F, 15);  // length 18

  // A long run of one byte costs one literal and then matches of 18.
  size_t run = 18 * 8 * 100 + 1;
  EXPECT_EQ(Compress(std::vector<uint8_t>(run, 'x')).size(), SzddHeaderSize + 2 + 100 * 17);

  // Random data cannot shrink; the overhead is one flag byte per eight literals.
  std::vector<uint8_t> noise = RandomBytes(8000, 7);
  EXPECT_LE(Compress(noise).size(), SzddHeaderSize + 8000 + 1000 + 8);
}

TEST(Szdd, ExpanderRefusesDamagedInput) {
  std::vector<uint8_t> packed = Compress(Bytes("a text long enough to hold a match: a text long enough"));
  std::vector<uint8_t> out;
  EXPECT_FALSE(ExpandSzdd(packed.data(), packed.size() - 3, out));
  std::vector<uint8_t> badMagic = packed;
  badMagic[0] = 'X';
  EXPECT_FALSE(ExpandSzdd(badMagic.data(), badMagic.size(), out));
  std::vector<uint8_t> badMode = packed;
  badMode[8] = 'B';
  EXPECT_FALSE(ExpandSzdd(badMode.data(), badMode.size(), out));
  EXPECT_FALSE(ExpandSzdd(packed.data(), 10, out));
}

// Debian's mscompress parses greedily; the optimal parse must not do worse on real code.
TEST(Szdd, SmallerThanMscompress) {
  TempDir dir;
  std::vector<uint8_t> program = ReadBytes(QUORVEL_SAMPLE_EXECUTABLE);
  program.resize(std::min<size_t>(program.size(), 150000));
  WriteBytes(dir / "prog.bin", program);
  ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mscompress prog.bin > /dev/null 2>&1"), 0);
  size_t theirs = ReadBytes(dir / "prog.bin_").size();
  ASSERT_GT(theirs, SzddHeaderSize);
  EXPECT_LT(Compress(program).size(), theirs);
}

}  // namespace
