// The documented token streams, byte for byte, in both directions.
#include <gtest/gtest.h>

#include "members.h"

namespace {

Bytes Repeat(std::uint8_t byte, std::size_t count) { return Bytes(count, byte); }

struct Example {
  const char* Name;
  Bytes Input;
  Bytes Tokens;
};

std::vector<Example> Examples() {
  return {
      {"three literals", BytesOf("abc"), {0x07, 0x61, 0x62, 0x63}},
      {"overlapping match", BytesOf("ababababa"), {0x03, 0x61, 0x62, 0xEE, 0xF4}},
      {"match into the initial spaces", Repeat(0x20, 20), {0x06, 0xDC, 0xFF, 0x20, 0x20}},
      {"forty a", Repeat(0x61, 40), {0x01, 0x61, 0xEE, 0xFF, 0x00, 0x0F, 0x04, 0x00}},
      {"one full group", BytesOf("abcdefgh"), {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68}},
      {"a second group of one",
       BytesOf("abcdefghi"),
       {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x01, 0x69}},
  };
}

TEST(FormatExamples, EncodeWritesTheDocumentedTokens) {
  ScratchDir dir;
  for (const Example& e : Examples()) {
    Bytes member = EncodeBytes(dir, e.Input);
    EXPECT_EQ(TokensOf(member), e.Tokens) << e.Name;
    EXPECT_EQ(LittleEndian32(member, 28), e.Input.size()) << e.Name;
    EXPECT_EQ(LittleEndian32(member, 32), e.Tokens.size()) << e.Name;
  }
}

TEST(FormatExamples, DecodeReadsTheDocumentedTokens) {
  ScratchDir dir;
  std::vector<Example> all = Examples();
  // A match at position 0 copies three of the initial spaces.
  all.push_back({"match at position 0", Repeat(0x20, 3), {0x00, 0x00, 0x00}});
  for (const Example& e : all) {
    Bytes member = MakeMember(e.Tokens, static_cast<std::uint32_t>(e.Input.size()));
    DecodeOutcome out = DecodeBytes(dir, member);
    EXPECT_EQ(out.Result, 1) << e.Name;
    EXPECT_EQ(out.Output, e.Input) << e.Name;
    EXPECT_EQ(out.InputPosition, static_cast<long>(member.size())) << e.Name;
  }
}

TEST(FormatExamples, UnusedFlagBitsOfTheLastGroupChangeNothing) {
  ScratchDir dir;
  for (int high = 0; high < 256; high += 0x08) {
    // Three literals; bits 3 to 7 of the flag byte name tokens that never come.
    Bytes tokens = {static_cast<std::uint8_t>(0x07 | high), 0x61, 0x62, 0x63};
    DecodeOutcome out = DecodeBytes(dir, MakeMember(tokens, 3));
    EXPECT_EQ(out.Result, 1);
    EXPECT_EQ(out.Output, BytesOf("abc"));
    EXPECT_EQ(out.InputPosition, 40);
  }
}

TEST(FormatExamples, EmptyInputIsTheHeaderAlone) {
  ScratchDir dir;
  Bytes member = EncodeBytes(dir, {});
  ASSERT_EQ(member.size(), 36u);
  EXPECT_EQ(LittleEndian32(member, 0), 0x00137457u);
  EXPECT_EQ(LittleEndian32(member, 28), 0u);
  EXPECT_EQ(LittleEndian32(member, 32), 0u);
}

}  // namespace
