// The minimum-cost parse: its members decode with the ordinary decoder, and
// no chain of tokens codes the input in fewer bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "lzss.h"
#include "members.h"

namespace {

Bytes EncodeBestBytes(const ScratchDir& dir, const Bytes& data) {
  std::string in = dir.File("best-input.bin"), out = dir.File("best-output.bin");
  WriteEncoderInput(in, data);  // a fixed time, which the member holds
  TLZSS codec(0);
  EXPECT_TRUE(codec.OpenInput(in.c_str(), -1) && codec.OpenOutput(out.c_str(), -1));
  EXPECT_EQ(codec.EncodeBest(codec.InputStream, codec.OutputStream), 1);
  EXPECT_EQ(codec.UnpackedSize, data.size());
  codec.OpenOutput(nullptr, -1);
  return ReadWholeFile(out);
}

// Bits of a token stream: 9 per literal, 17 per match.
std::size_t StreamBits(const Bytes& tokens) {
  std::size_t bits = 0, at = 0;
  while (at < tokens.size()) {
    unsigned flags = tokens[at++];
    for (int t = 0; t < 8 && at < tokens.size(); ++t, flags >>= 1) {
      bool literal = flags & 1;
      at += literal ? 1 : 2;
      bits += literal ? 9 : 17;
    }
  }
  return bits;
}

// The fewest bits for the whole input, by trying every match at every
// position against the ring's contents (the initial spaces included).
std::size_t FewestBits(const Bytes& data) {
  Bytes text(4078, ' ');
  text.insert(text.end(), data.begin(), data.end());
  std::size_t n = data.size();
  std::vector<std::size_t> cost(n + 1, SIZE_MAX);
  cost[0] = 0;
  for (std::size_t j = 0; j < n; ++j) {
    cost[j + 1] = std::min(cost[j + 1], cost[j] + 9);
    std::size_t a = 4078 + j, longest = 0;
    for (std::size_t back = 1; back <= 4096 && back <= a; ++back) {
      std::size_t length = 0;
      while (length < 18 && j + length < n && text[a - back + length] == text[a + length]) ++length;
      longest = std::max(longest, length);
    }
    for (std::size_t length = 3; length <= longest; ++length)
      cost[j + length] = std::min(cost[j + length], cost[j] + 17);
  }
  return cost[n];
}

Bytes Sample(std::size_t n, std::uint32_t seed, int alphabet) {
  Bytes b = RandomBytes(n, seed);
  for (auto& c : b) c = static_cast<std::uint8_t>('a' + c % alphabet);
  return b;
}

TEST(BestParse, DecodesToTheInput) {
  ScratchDir dir;
  std::vector<Bytes> inputs;
  for (std::size_t n = 0; n <= 40; ++n) inputs.push_back(Sample(n, static_cast<std::uint32_t>(n + 1), 3));
  inputs.push_back(Bytes(20, ' '));
  inputs.push_back(Bytes(5000, ' '));
  inputs.push_back(Sample(4096 + 18, 2, 4));
  inputs.push_back(RandomBytes(70000, 3));
  // Across the parse's block boundary, with long repeats.
  Bytes big = Sample(600000, 4, 5);
  for (std::size_t i = 0; i + 300 < big.size(); i += 7000)
    std::copy(big.begin() + i, big.begin() + i + 300, big.begin() + i + 3000);
  inputs.push_back(big);
  for (const Bytes& data : inputs) {
    Bytes member = EncodeBestBytes(dir, data);
    DecodeOutcome out = DecodeBytes(dir, member);
    ASSERT_EQ(out.Result, 1) << data.size();
    ASSERT_TRUE(out.Output == data) << data.size();
    ASSERT_EQ(out.InputPosition, static_cast<long>(member.size())) << data.size();
    // Never longer than the ordinary parse, but for the rounding of the last flag byte.
    EXPECT_LE(member.size(), EncodeBytes(dir, data).size() + 1) << data.size();
  }
}

TEST(BestParse, NoCheaperChainOfTokensExists) {
  ScratchDir dir;
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    Bytes data = Sample(1500 + seed * 100, seed, 2 + static_cast<int>(seed % 4));
    data.insert(data.begin() + 200, 30, ' ');  // something to find in the initial spaces
    EXPECT_EQ(StreamBits(TokensOf(EncodeBestBytes(dir, data))), FewestBits(data)) << seed;
  }
}

TEST(BestParse, SameBytesOnEveryRunAndObject) {
  ScratchDir dir;
  Bytes data = Sample(300000, 8, 6);
  Bytes first = EncodeBestBytes(dir, data);
  EXPECT_EQ(EncodeBestBytes(dir, data), first);
  EXPECT_EQ(EncodeBestBytes(dir, Bytes()).size(), 36u);
}

}  // namespace
