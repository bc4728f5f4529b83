// LimitToUnpackedSize: Decode writes no byte beyond the header's
// UnpackedSize and stops at the token that would, on the fast path and on
// the reporting path alike, from a file and from a stream in memory;
// members that keep to their size decode as without it. Off by default.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "lzss.h"
#include "members.h"

namespace {

class CountingCodec : public TLZSS {
 public:
  explicit CountingCodec(int progressEnabled) : TLZSS(progressEnabled) {}
  void Progress(std::uint32_t done, std::uint32_t total) override {
    EXPECT_EQ(done, Calls);
    EXPECT_EQ(total, UnpackedSize);
    ++Calls;
  }
  std::uint32_t Calls = 0;
};

struct Outcome {
  int Result = -1;
  Bytes Output;
  long InputPosition = -1;
  std::uint32_t Consumed = 0;
  std::uint32_t ProgressCalls = 0;
  LocalTime Time;
};

Outcome Decode(const ScratchDir& dir, const Bytes& stream, int progress, bool limit) {
  std::string in = dir.File("limit-in.bin"), out = dir.File("limit-out.bin");
  WriteWholeFile(in, stream);
  Outcome o;
  {
    CountingCodec codec(progress);
    codec.LimitToUnpackedSize = limit;
    EXPECT_TRUE(codec.OpenInput(in.c_str(), -1));
    EXPECT_TRUE(codec.OpenOutput(out.c_str(), -1));
    o.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    o.InputPosition = std::ftell(codec.InputStream);
    o.Consumed = codec.ConsumedCount;
    o.ProgressCalls = codec.Calls;
  }
  o.Output = ReadWholeFile(out);
  GetLocalWriteTime(out, o.Time);
  return o;
}

#ifndef _WIN32
// The same from a stream with no file under it, whose blocks the decoder
// reads through the stream.
Outcome DecodeFromMemory(const ScratchDir& dir, Bytes stream, int progress) {
  std::string out = dir.File("limit-out.bin");
  Outcome o;
  {
    CountingCodec codec(progress);
    codec.LimitToUnpackedSize = true;
    codec.InputStream = fmemopen(stream.data(), stream.size(), "rb");
    EXPECT_TRUE(codec.OpenOutput(out.c_str(), -1));
    o.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    o.InputPosition = std::ftell(codec.InputStream);
    o.Consumed = codec.ConsumedCount;
  }
  o.Output = ReadWholeFile(out);
  return o;
}
#endif

Bytes Member(const Bytes& tokens, std::uint32_t unpacked) { return MakeMember(tokens, unpacked); }

// The time of every member MakeMember builds: 2020-01-01 12:00:00.
const LocalTime kMemberTime{2020, 1, 1, 12, 0, 0};

// Token bytes fetched up to and including the token that would produce
// output byte number `limit` (counting from 0), or all of them when none does.
std::size_t FetchedThroughLimit(const Bytes& tokens, std::uint64_t limit) {
  std::uint64_t produced = 0;
  std::size_t i = 0;
  while (i < tokens.size()) {
    const unsigned flags = tokens[i++];
    for (int bit = 0; bit < 8 && i < tokens.size(); ++bit) {
      if ((flags >> bit) & 1) {
        i += 1;
        produced += 1;
      } else {
        if (i + 1 >= tokens.size()) return tokens.size();
        produced += (tokens[i + 1] & 0x0F) + 3;
        i += 2;
      }
      if (produced > limit) return i;
    }
  }
  return tokens.size();
}

// The limit cut where the stream goes on: both paths stop at the same byte
// and the same token, and the output is flushed and time-stamped.
void ExpectStopsAt(const ScratchDir& dir, const Bytes& tokens, std::uint32_t unpacked,
                   const Bytes& fullOutput, const std::string& what) {
  const Bytes stream = Member(tokens, unpacked);
  const std::size_t fetched = FetchedThroughLimit(tokens, unpacked);
  for (int progress : {0, 1}) {
    SCOPED_TRACE(what + (progress ? ", reporting" : ", fast"));
    Outcome o = Decode(dir, stream, progress, true);
    EXPECT_EQ(o.Result, 0);
    ASSERT_EQ(o.Output.size(), unpacked);
    EXPECT_TRUE(std::equal(o.Output.begin(), o.Output.end(), fullOutput.begin()));
    EXPECT_EQ(o.InputPosition, static_cast<long>(36 + fetched));
    EXPECT_EQ(o.Consumed, fetched);  // no fetch failed: nothing more was asked for
    EXPECT_EQ(o.ProgressCalls, progress ? unpacked : 0u);
    EXPECT_TRUE(o.Time == kMemberTime);
  }
}

TEST(UnpackedSizeLimit, MembersThatKeepToTheirSizeDecodeAsWithout) {
  ScratchDir dir;
  Bytes text = BytesOf("limit, limit, limit; a member that keeps to its size decodes the same.");
  std::vector<Bytes> members = {
      Member({0x03, 0x61, 0x62, 0xEE, 0xF4}, 9),  // "ababababa"
      // Eight literals and a bare flag byte, or half a match: its token's
      // fetch fails, so nothing beyond the size is produced.
      Member({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}, 8),
      Member({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00, 0x00}, 8),
      EncodeBytes(dir, text),
      EncodeBytes(dir, RandomBytes(70000, 4)),
      EncodeBytes(dir, BytesOf("a")),
      EncodeBytes(dir, Bytes(100, ' ')),
      EncodeBytes(dir, Bytes(80000, 0)),
  };
  Bytes runs(200000, 'r');
  for (std::size_t i = 0; i < runs.size(); i += 1000) runs[i] = static_cast<std::uint8_t>(i);
  members.push_back(EncodeBytes(dir, runs));
  for (std::size_t m = 0; m < members.size(); ++m) {
    for (int progress : {0, 1}) {
      SCOPED_TRACE("member " + std::to_string(m) + (progress ? ", reporting" : ", fast"));
      Outcome plain = Decode(dir, members[m], progress, false);
      Outcome limited = Decode(dir, members[m], progress, true);
      EXPECT_EQ(limited.Result, 1);
      EXPECT_EQ(limited.Result, plain.Result);
      EXPECT_EQ(limited.Output, plain.Output);
      EXPECT_EQ(limited.InputPosition, plain.InputPosition);
      EXPECT_EQ(limited.InputPosition, static_cast<long>(members[m].size()));
      EXPECT_EQ(limited.Consumed, plain.Consumed);
      EXPECT_EQ(limited.ProgressCalls, plain.ProgressCalls);
    }
  }
}

TEST(UnpackedSizeLimit, StopsInsideAMatchOrAtALiteral) {
  ScratchDir dir;
  const Bytes abab = {0x03, 0x61, 0x62, 0xEE, 0xF4};
  const Bytes ababOut = BytesOf("ababababa");
  // Two literals, then a match of 7: announcing 1 stops at the second
  // literal (fetched and not written; the match is not fetched), 2 to 8
  // inside the match.
  for (std::uint32_t announced = 1; announced < ababOut.size(); ++announced)
    ExpectStopsAt(dir, abab, announced, ababOut, "announcing " + std::to_string(announced));

  // Nine literals in two groups: the limit at the end of the first group
  // stops at the second group's literal, once its flag byte is read.
  const Bytes nine = {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'};
  const Bytes nineOut = BytesOf("abcdefghi");
  ExpectStopsAt(dir, nine, 8, nineOut, "at a group's end");
  ExpectStopsAt(dir, nine, 3, nineOut, "inside a group of literals");

  // Without the flag the stream runs on as before: all nine bytes, and a
  // result of 0 from the length check.
  Outcome unlimited = Decode(dir, Member(abab, 5), 0, false);
  EXPECT_EQ(unlimited.Result, 0);
  EXPECT_EQ(unlimited.Output, ababOut);
  EXPECT_EQ(unlimited.InputPosition, 41);
  EXPECT_FALSE(TLZSS(0).LimitToUnpackedSize);
}

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

TEST(UnpackedSizeLimit, ATenByteAnnouncementOverMegabytesOfTokensStopsAtOnce) {
  ScratchDir dir;
  const Bytes stream = Member(SpaceMatches(3 * 1024 * 1024), 10);  // 6.75 MiB, 54 MiB of spaces
  for (int progress : {0, 1}) {
    SCOPED_TRACE(progress ? "reporting" : "fast");
    Outcome limited = Decode(dir, stream, progress, true);
    EXPECT_EQ(limited.Result, 0);
    EXPECT_EQ(limited.Output, Bytes(10, ' '));
    EXPECT_EQ(limited.Consumed, 3u) << "the flag byte and the first match, nothing behind them";
    EXPECT_EQ(limited.InputPosition, 36 + 3) << "the input stands behind them";
#ifndef _WIN32
    Outcome fromMemory = DecodeFromMemory(dir, stream, progress);
    EXPECT_EQ(fromMemory.Output, Bytes(10, ' '));
    EXPECT_EQ(fromMemory.InputPosition, 36 + 3);
#endif
  }
}

TEST(UnpackedSizeLimit, LongMembersStopAtTheLimitOnBothPaths) {
  ScratchDir dir;
  // Literals, long and short matches and runs, so that the limit falls into
  // every kind of token and next to the fast path's block boundaries.
  // Long enough for more than one token block and output window.
  Bytes data = RandomBytes(600000, 21);
  for (std::size_t i = 0; i < data.size(); i += 7) data[i] = 'x';
  data.insert(data.end(), 90000, 0);
  Bytes text = BytesOf("#define LIMIT_TEST(x) ((x) & 0xFFF)\r\n");
  while (data.size() < 1200000) data.insert(data.end(), text.begin(), text.end());
  const Bytes tokens = TokensOf(EncodeBytes(dir, data));
  for (std::uint32_t limit :
       {2u, 17u, 144u, 4095u, 65536u, 262145u, 600001u, 650017u, 1048575u, 1048576u, 1048577u, 1199999u})
    ExpectStopsAt(dir, tokens, limit, data, "limit " + std::to_string(limit));
}

}  // namespace
