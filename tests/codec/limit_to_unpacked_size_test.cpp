// Decode with LimitToUnpackedSize: a member never writes more than the
// bytes its header announces, whatever its token stream holds, and a sound
// member decodes exactly as without the flag. Both ways of decoding are
// held to it: without progress reports and with them.
#include <gtest/gtest.h>

#include <vector>

#include "lzss.h"
#include "members.h"

namespace {

const Bytes NINE_BYTES_TOKENS = {0x03, 0x61, 0x62, 0xEE, 0xF4};  // "ababababa"

class CountingCodec : public TLZSS {
 public:
  explicit CountingCodec(int progress) : TLZSS(progress) {}
  void Progress(std::uint32_t done, std::uint32_t total) override { Calls.push_back({done, total}); }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Calls;
};

struct Limited {
  int Result = -1;
  Bytes Output;
  std::uint32_t Consumed = 0;
  long InputPosition = -1;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Progress;
};

Limited Decode(const ScratchDir& dir, const Bytes& member, bool progress, bool limit = true) {
  std::string in = dir.File("limited-in.bin"), out = dir.File("limited-out.bin");
  WriteWholeFile(in, member);
  Limited outcome;
  {
    CountingCodec codec(progress ? 1 : 0);
    codec.LimitToUnpackedSize = limit;
    EXPECT_TRUE(codec.OpenInput(in.c_str(), -1));
    EXPECT_TRUE(codec.OpenOutput(out.c_str(), -1));
    outcome.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    outcome.Consumed = codec.ConsumedCount;
    outcome.InputPosition = std::ftell(codec.InputStream);
    outcome.Progress = codec.Calls;
  }
  outcome.Output = ReadWholeFile(out);
  return outcome;
}

#ifndef _WIN32
// The same from a stream with no file under it, whose blocks the decoder
// reads through the stream.
Limited DecodeFromMemory(const ScratchDir& dir, Bytes member, bool progress) {
  std::string out = dir.File("limited-out.bin");
  Limited outcome;
  {
    CountingCodec codec(progress ? 1 : 0);
    codec.LimitToUnpackedSize = true;
    codec.InputStream = fmemopen(member.data(), member.size(), "rb");
    EXPECT_TRUE(codec.OpenOutput(out.c_str(), -1));
    outcome.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    outcome.Consumed = codec.ConsumedCount;
    outcome.InputPosition = std::ftell(codec.InputStream);
  }
  outcome.Output = ReadWholeFile(out);
  return outcome;
}
#endif

// `count` matches of 18 spaces each, eight to a group.
Bytes SpaceMatches(std::size_t count) {
  Bytes tokens;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 8 == 0) tokens.push_back(0x00);
    tokens.push_back(0x00);
    tokens.push_back(0x0F);
  }
  return tokens;
}

class LimitToUnpackedSize : public ::testing::TestWithParam<bool> {
 protected:
  bool Progress() const { return GetParam(); }
  ScratchDir dir;
};

}  // namespace

TEST_P(LimitToUnpackedSize, SoundMembersDecodeAsWithoutIt) {
  for (const Bytes& data : {BytesOf("a"), BytesOf("ababababa"), Bytes(100, ' '), RandomBytes(20000, 7),
                            Bytes(80000, 0), Bytes()}) {
    Bytes member = EncodeBytes(dir, data);
    Limited limited = Decode(dir, member, Progress());
    EXPECT_EQ(limited.Result, 1) << data.size();
    EXPECT_EQ(limited.Output, data);
    EXPECT_EQ(limited.Progress.size(), Progress() ? data.size() : 0u);
  }
}

TEST_P(LimitToUnpackedSize, AnnouncedLengthCutsALiteralOrAMatch) {
  // "ab" as two literals, then one match of seven: announcing 1 stops at the
  // second literal, 2 to 8 inside the match.
  const Bytes whole = BytesOf("ababababa");
  for (std::uint32_t announced = 1; announced < whole.size(); ++announced) {
    Limited limited = Decode(dir, MakeMember(NINE_BYTES_TOKENS, announced), Progress());
    EXPECT_EQ(limited.Result, 0) << announced;
    EXPECT_EQ(limited.Output, Bytes(whole.begin(), whole.begin() + announced)) << announced;
    if (Progress()) {
      ASSERT_EQ(limited.Progress.size(), announced);
      for (std::uint32_t i = 0; i < announced; ++i)
        EXPECT_EQ(limited.Progress[i], std::make_pair(i, announced));
    }
  }
}

TEST_P(LimitToUnpackedSize, ATenByteAnnouncementOverMegabytesOfTokensStopsAtOnce) {
  Bytes tokens = SpaceMatches(3 * 1024 * 1024);  // 6.75 MiB, 54 MiB of spaces
  Limited limited = Decode(dir, MakeMember(tokens, 10), Progress());
  EXPECT_EQ(limited.Result, 0);
  EXPECT_EQ(limited.Output, Bytes(10, ' '));
  EXPECT_EQ(limited.Consumed, 3u) << "the flag byte and the first match, nothing behind them";
  EXPECT_EQ(limited.InputPosition, 36 + 3) << "the input stands behind them";
#ifndef _WIN32
  Limited fromMemory = DecodeFromMemory(dir, MakeMember(tokens, 10), Progress());
  EXPECT_EQ(fromMemory.Output, Bytes(10, ' '));
  EXPECT_EQ(fromMemory.InputPosition, 36 + 3);
#endif
}

TEST_P(LimitToUnpackedSize, AStreamThatEndsExactlyThereStillSucceeds) {
  // Token bytes that produce nothing behind the announced length (a flag
  // byte alone, half a match) are no bytes beyond it, here as without the
  // flag.
  Bytes eightLiterals = {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  Bytes flagOnly = eightLiterals;
  flagOnly.push_back(0x00);
  Bytes halfMatch = flagOnly;
  halfMatch.push_back(0x00);
  for (const Bytes& tokens : {flagOnly, halfMatch}) {
    EXPECT_EQ(Decode(dir, MakeMember(tokens, 8), Progress()).Result, 1) << tokens.size();
    EXPECT_EQ(Decode(dir, MakeMember(tokens, 8), Progress(), false).Result, 1) << tokens.size();
  }
}

TEST_P(LimitToUnpackedSize, StoppedOutputGetsItsTime) {
  HeaderFields header;
  header.Year = 45;
  header.Month = 6;
  header.Day = 7;
  header.Hour = 8;
  header.Minute = 9;
  header.TwoSeconds = 5;
  header.UnpackedSize = 4;
  header.PackedSize = static_cast<std::uint32_t>(NINE_BYTES_TOKENS.size());
  Limited limited = Decode(dir, MakeMember(header, NINE_BYTES_TOKENS), Progress());
  EXPECT_EQ(limited.Result, 0);
  LocalTime time;
  ASSERT_TRUE(GetLocalWriteTime(dir.File("limited-out.bin"), time));
  EXPECT_EQ(time, (LocalTime{2025, 6, 7, 8, 9, 10}));
}

TEST_P(LimitToUnpackedSize, OffByDefault) {
  Limited unlimited = Decode(dir, MakeMember(NINE_BYTES_TOKENS, 4), Progress(), false);
  EXPECT_EQ(unlimited.Result, 0);
  EXPECT_EQ(unlimited.Output, BytesOf("ababababa")) << "the whole stream is decoded";
  EXPECT_FALSE(TLZSS(0).LimitToUnpackedSize);
}

INSTANTIATE_TEST_SUITE_P(Decode, LimitToUnpackedSize, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "WithProgress" : "WithoutProgress";
                         });
