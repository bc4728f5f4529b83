// What Decode does with members that are wrong, cut short or mis-sized.
#include <gtest/gtest.h>

#include "lzss.h"
#include "members.h"

namespace {

const Bytes kNineTokens = {0x03, 0x61, 0x62, 0xEE, 0xF4};  // "ababababa"

TEST(DecodeDamage, WrongMagicLeavesTheOutputUntouched) {
  ScratchDir dir;
  HeaderFields h;
  h.Magic = 0x00137458;
  h.UnpackedSize = 9;
  h.PackedSize = 5;
  std::string in = dir.File("in.bin"), out = dir.File("out.bin");
  WriteWholeFile(in, MakeMember(h, kNineTokens));
  WriteWholeFile(out, BytesOf("previous"));
  TLZSS codec(0);
  ASSERT_TRUE(codec.OpenInput(in.c_str(), -1));
  FILE* existing = std::fopen(out.c_str(), "rb+");
  ASSERT_NE(existing, nullptr);
  codec.OutputStream = existing;
  EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 0);
  EXPECT_EQ(std::ftell(codec.InputStream), 4);  // only the magic was read
  codec.OpenOutput(nullptr, -1);
  EXPECT_EQ(ReadWholeFile(out), BytesOf("previous"));
}

TEST(DecodeDamage, MissingStreamsFailWithoutReading) {
  ScratchDir dir;
  std::string in = dir.File("in.bin");
  WriteWholeFile(in, MakeMember(kNineTokens, 9));
  TLZSS codec(0);
  ASSERT_TRUE(codec.OpenInput(in.c_str(), -1));
  EXPECT_EQ(codec.Decode(codec.InputStream, nullptr), 0);
  EXPECT_EQ(codec.Decode(nullptr, codec.InputStream), 0);
  EXPECT_EQ(std::ftell(codec.InputStream), 0);
}

TEST(DecodeDamage, HeaderCutShort) {
  ScratchDir dir;
  Bytes member = MakeMember(kNineTokens, 9);
  // A magic cut after its third byte still matches (its fourth byte is 0);
  // the sizes then read as 0, which is an empty member.
  for (std::size_t cut = 3; cut < 29; ++cut) {
    DecodeOutcome out = DecodeBytes(dir, Bytes(member.begin(), member.begin() + cut));
    EXPECT_EQ(out.Result, 1) << cut;
    EXPECT_TRUE(out.Output.empty()) << cut;
  }
  for (std::size_t cut = 0; cut < 3; ++cut)
    EXPECT_EQ(DecodeBytes(dir, Bytes(member.begin(), member.begin() + cut)).Result, 0) << cut;
  // UnpackedSize there, PackedSize missing: nothing can be fetched.
  for (std::size_t cut = 32; cut < 36; ++cut) {
    DecodeOutcome out = DecodeBytes(dir, Bytes(member.begin(), member.begin() + cut));
    EXPECT_EQ(out.Result, 0) << cut;
    EXPECT_TRUE(out.Output.empty()) << cut;
  }
}

TEST(DecodeDamage, TokenStreamCutByOneByte) {
  ScratchDir dir;
  LocalTime when{2020, 5, 4, 3, 2, 10};
  Bytes member = EncodeBytes(dir, BytesOf("abcdefghi"), &when);
  member.pop_back();  // the last literal's byte
  DecodeOutcome out = DecodeBytes(dir, member);
  EXPECT_EQ(out.Result, 0);
  EXPECT_EQ(out.Output, BytesOf("abcdefgh"));  // flushed as far as it got
  LocalTime got;
  ASSERT_TRUE(GetLocalWriteTime(dir.File("decode-output.bin"), got));
  EXPECT_EQ(got, when);  // and time-stamped all the same
}

TEST(DecodeDamage, PackedSizeSmallerThanTheStream) {
  ScratchDir dir;
  HeaderFields h;
  h.UnpackedSize = 9;
  h.PackedSize = 4;  // the match's second byte is beyond the limit
  Bytes member = MakeMember(h, kNineTokens);
  member.push_back(0x55);
  DecodeOutcome out = DecodeBytes(dir, member);
  EXPECT_EQ(out.Result, 0);
  EXPECT_EQ(out.Output, BytesOf("ab"));  // the cut match is dropped whole
  EXPECT_EQ(out.InputPosition, 40);      // never past PackedSize
}

TEST(DecodeDamage, PackedSizeLargerThanTheStream) {
  ScratchDir dir;
  HeaderFields h;
  h.UnpackedSize = 9;
  h.PackedSize = 7;
  // Flag bit 3 makes the byte after the member a literal; bit 4 a match
  // whose second byte lies beyond PackedSize.
  Bytes member = MakeMember(h, {0x0B, 0x61, 0x62, 0xEE, 0xF4});
  member.push_back(0x41);
  member.push_back(0x42);
  member.push_back(0x43);
  DecodeOutcome out = DecodeBytes(dir, member);
  EXPECT_EQ(out.Result, 0);
  EXPECT_EQ(out.Output, BytesOf("ababababaA"));
  EXPECT_EQ(out.InputPosition, 43);
}

TEST(DecodeDamage, EmptyMemberLeavesTheInputRightAfterTheHeader) {
  ScratchDir dir;
  HeaderFields h;
  h.UnpackedSize = 0;
  h.PackedSize = 5;  // not looked at
  DecodeOutcome out = DecodeBytes(dir, MakeMember(h, kNineTokens));
  EXPECT_EQ(out.Result, 1);
  EXPECT_TRUE(out.Output.empty());
  EXPECT_EQ(out.InputPosition, 36);
}

TEST(DecodeDamage, NonEmptyMemberWithNoTokens) {
  ScratchDir dir;
  HeaderFields h;
  h.UnpackedSize = 9;
  h.PackedSize = 0;
  DecodeOutcome out = DecodeBytes(dir, MakeMember(h, kNineTokens));
  EXPECT_EQ(out.Result, 0);
  EXPECT_TRUE(out.Output.empty());
  EXPECT_EQ(out.InputPosition, 36);
}

TEST(DecodeDamage, DamagedTokensOfTheRightLengthStillSucceed) {
  // No checksum: a stream that yields UnpackedSize bytes is success.
  ScratchDir dir;
  DecodeOutcome out = DecodeBytes(dir, MakeMember({0x07, 0x61, 0x78, 0x63}, 3));
  EXPECT_EQ(out.Result, 1);
  EXPECT_EQ(out.Output, BytesOf("axc"));
}

TEST(DecodeDamage, ReadsBeforeWritesOfTheRingEndAreDefinite) {
  // A match into ring positions 4078..4095 before they are written: a
  // damaged stream decodes the same way on every object and every run.
  ScratchDir dir;
  Bytes member = MakeMember({0x00, 0xF0, 0xFF}, 18);  // position 4080, length 18
  DecodeOutcome first = DecodeBytes(dir, member);
  DecodeOutcome again = DecodeBytes(dir, member);
  EXPECT_EQ(first.Result, 1);
  EXPECT_EQ(first.Output, again.Output);
  Bytes expected(16, 0x00);                       // 4080..4095, not yet written, read as 0
  expected.insert(expected.end(), {0x20, 0x20});  // then positions 0 and 1
  EXPECT_EQ(first.Output, expected);
}

}  // namespace
