// The member's time: the header fields Encode writes, and the local
// modification time Decode gives the output.
#include <gtest/gtest.h>

#include "members.h"

namespace {

TEST(MemberTime, EncodeWritesTheLocalTimeAsMsDosFields) {
  ScratchDir dir;
  LocalTime when{2024, 7, 15, 13, 45, 31};  // an odd second
  Bytes member = EncodeBytes(dir, BytesOf("abc"), &when);
  ASSERT_EQ(member.size(), 40u);
  EXPECT_EQ(LittleEndian32(member, 4), 15u);   // 31 s / 2
  EXPECT_EQ(LittleEndian32(member, 8), 45u);   // minute
  EXPECT_EQ(LittleEndian32(member, 12), 13u);  // hour
  EXPECT_EQ(LittleEndian32(member, 16), 15u);  // day
  EXPECT_EQ(LittleEndian32(member, 20), 7u);   // month
  EXPECT_EQ(LittleEndian32(member, 24), 44u);  // years since 1980
}

TEST(MemberTime, RoundTripKeepsTheTimeToTwoSeconds) {
  ScratchDir dir;
  for (LocalTime when : {LocalTime{2024, 7, 15, 13, 45, 31}, LocalTime{1999, 12, 31, 23, 59, 58},
                         LocalTime{2021, 1, 1, 0, 0, 1}, LocalTime{2023, 3, 26, 12, 30, 0}}) {
    Bytes member = EncodeBytes(dir, RandomBytes(1000, 7), &when);
    DecodeOutcome out = DecodeBytes(dir, member);
    ASSERT_EQ(out.Result, 1);
    LocalTime got;
    ASSERT_TRUE(GetLocalWriteTime(dir.File("decode-output.bin"), got));
    LocalTime expected = when;
    expected.Second -= expected.Second % 2;
    EXPECT_EQ(got, expected) << when.Year << "-" << when.Month << "-" << when.Day;
  }
}

TEST(MemberTime, DecodeTakesOnlyTheBitsOfTheMsDosFormat) {
  ScratchDir dir;
  HeaderFields h;
  h.Year = 45 | 0x100;       // only the low 7 bits count: 2025
  h.Month = 6 | 0x30;        // low 4 bits: June
  h.Day = 9 | 0x60;          // low 5 bits: 9
  h.Hour = 17 | 0x20;        // low 5 bits: 17
  h.Minute = 8 | 0x40;       // low 6 bits: 8
  h.TwoSeconds = 29 | 0xE0;  // low 5 bits: 58 seconds
  h.UnpackedSize = 3;
  h.PackedSize = 4;
  DecodeOutcome out = DecodeBytes(dir, MakeMember(h, {0x07, 0x61, 0x62, 0x63}));
  ASSERT_EQ(out.Result, 1);
  LocalTime got;
  ASSERT_TRUE(GetLocalWriteTime(dir.File("decode-output.bin"), got));
  EXPECT_EQ(got, (LocalTime{2025, 6, 9, 17, 8, 58}));
}

TEST(MemberTime, ATimeThatNamesNoDayLeavesTheResultAlone) {
  ScratchDir dir;
  HeaderFields h;
  h.Day = 0;
  h.Month = 0;
  h.UnpackedSize = 3;
  h.PackedSize = 4;
  EXPECT_EQ(DecodeBytes(dir, MakeMember(h, {0x07, 0x61, 0x62, 0x63})).Result, 1);
}

}  // namespace
