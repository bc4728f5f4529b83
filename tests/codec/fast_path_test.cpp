// The decoder's block-wise fast path and the encoder's word-wise compare,
// held to the format read and written the plain way, on valid, random and
// adversarial input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "lzss.h"
#include "members.h"
#include "plain_decoder.h"
#include "plain_encoder.h"

namespace {

// The member's bytes handed out as a reader of the container does: all that
// is asked for, up to the end of the stream. It records how many the
// decoder took, which must never reach beyond the member.
class RecordingSource final : public MemberSource {
 public:
  explicit RecordingSource(const Bytes& bytes) : bytes_(bytes) {}
  std::size_t Read(std::uint8_t* to, std::size_t count) override {
    std::size_t n = std::min(count, bytes_.size() - Taken);
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(Taken),
              bytes_.begin() + static_cast<std::ptrdiff_t>(Taken + n), to);
    Taken += n;
    return n;
  }
  std::size_t Taken = 0;

 private:
  const Bytes& bytes_;
};

struct Decoded {
  int Result;
  Bytes Output;
  long InputPosition;
  bool operator==(const Decoded& o) const {
    return Result == o.Result && Output == o.Output && InputPosition == o.InputPosition;
  }
};

// ownStream: the output is the codec's OutputStream, which the fast path
// writes past; otherwise a stream of the caller's, written through. With a
// source, the member comes from it instead of the input stream.
Decoded DecodeWithCodec(const ScratchDir& dir, const std::string& in, int progress, bool ownStream = true,
                        MemberSource* source = nullptr) {
  std::string out = dir.File("codec.out");
  Decoded d;
  {
    TLZSS codec(progress);
    codec.Source = source;
    if (!source) codec.OpenInput(in.c_str(), -1);
    FILE* output = nullptr;
    if (ownStream) {
      codec.OpenOutput(out.c_str(), -1);
      output = codec.OutputStream;
    } else {
      output = std::fopen(out.c_str(), "wb+");
    }
    d.Result = codec.Decode(codec.InputStream, output);
    d.InputPosition = source ? -1 : std::ftell(codec.InputStream);
    if (!ownStream) std::fclose(output);
  }
  d.Output = ReadWholeFile(out);
  return d;
}

#ifndef _WIN32
// The codec reading from a stream that has no file under it, so that its
// blocks come through the stream instead of straight from a file.
Decoded DecodeFromMemory(const ScratchDir& dir, const Bytes& stream) {
  std::string out = dir.File("memory.out");
  Decoded d;
  {
    TLZSS codec(0);
    Bytes copy = stream;
    codec.InputStream = fmemopen(copy.data(), copy.size(), "rb");
    codec.OpenOutput(out.c_str(), -1);
    d.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    d.InputPosition = std::ftell(codec.InputStream);
    codec.OpenInput(nullptr, -1);
  }
  d.Output = ReadWholeFile(out);
  return d;
}
#endif

Decoded DecodePlainly(const ScratchDir& dir, const std::string& in) {
  std::string out = dir.File("plain.out");
  FILE* input = std::fopen(in.c_str(), "rb");
  FILE* output = std::fopen(out.c_str(), "wb");
  Decoded d;
  d.Result = PlainDecode(input, output).Result;
  d.InputPosition = std::ftell(input);
  std::fclose(input);
  std::fclose(output);
  d.Output = ReadWholeFile(out);
  return d;
}

// The fast path, the reporting path and the plain reading agree.
void ExpectSameDecoding(const ScratchDir& dir, const Bytes& stream, const std::string& what) {
  std::string in = dir.File("stream.bin");
  WriteWholeFile(in, stream);
  Decoded plain = DecodePlainly(dir, in);
  Decoded fast = DecodeWithCodec(dir, in, 0);
  Decoded reporting = DecodeWithCodec(dir, in, 1);
  Decoded throughStream = DecodeWithCodec(dir, in, 0, false);
  ASSERT_TRUE(fast == plain) << what << ": fast path differs (result " << fast.Result << " vs "
                             << plain.Result << ", " << fast.Output.size() << " vs " << plain.Output.size()
                             << " bytes, input at " << fast.InputPosition << " vs " << plain.InputPosition
                             << ")";
  ASSERT_TRUE(reporting == plain) << what << ": reporting path differs";
  ASSERT_TRUE(throughStream == plain) << what << ": fast path through a stream of the caller's differs";
  // From a source: the same result and output; all the bytes used were
  // taken, and none beyond the member.
  RecordingSource source(stream);
  Decoded sourced = DecodeWithCodec(dir, in, 0, true, &source);
  ASSERT_EQ(sourced.Result, plain.Result) << what << ": from a source";
  ASSERT_TRUE(sourced.Output == plain.Output) << what << ": from a source";
  ASSERT_GE(source.Taken, static_cast<std::size_t>(plain.InputPosition)) << what;
  if (stream.size() >= 36) {
    const std::size_t packed =
        stream[32] | stream[33] << 8 | stream[34] << 16 | static_cast<std::size_t>(stream[35]) << 24;
    ASSERT_LE(source.Taken, 36 + packed) << what << ": read beyond the member";
  }
#ifndef _WIN32
  if (!stream.empty()) {
    ASSERT_TRUE(DecodeFromMemory(dir, stream) == plain)
        << what << ": fast path from a stream in memory differs";
  }
#endif
}

Bytes Member(const Bytes& tokens, std::uint32_t unpacked, std::uint32_t packed) {
  HeaderFields h;
  h.UnpackedSize = unpacked;
  h.PackedSize = packed;
  return MakeMember(h, tokens);
}

TEST(FastPath, RandomTokenStreams) {
  ScratchDir dir;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    Bytes tokens = RandomBytes(100 + seed * 997 % 40000, seed);
    // The declared sizes: right, short, and reaching past the stream.
    std::uint32_t n = static_cast<std::uint32_t>(tokens.size());
    for (std::uint32_t packed : {n, n / 2, n + 50}) {
      Bytes stream = Member(tokens, 1000, packed);
      Bytes tail = RandomBytes(30, seed + 1000);
      stream.insert(stream.end(), tail.begin(), tail.end());
      ExpectSameDecoding(dir, stream, "seed " + std::to_string(seed) + " packed " + std::to_string(packed));
    }
  }
}

TEST(FastPath, AdversarialMatches) {
  ScratchDir dir;
  Bytes tokens;
  // Every match position and length once, in groups of eight matches:
  // overlapping copies at distances 1 to 7, copies from the initial spaces,
  // and copies from ring positions 4078..4095 before they are written.
  for (int position = 0; position < 4096; position += 1) {
    if (tokens.size() % 17 == 0) tokens.push_back(0x00);
    tokens.push_back(static_cast<std::uint8_t>(position & 0xFF));
    tokens.push_back(static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (position % 16)));
  }
  std::uint32_t n = static_cast<std::uint32_t>(tokens.size());
  ExpectSameDecoding(dir, Member(tokens, 1, n), "all positions");

  // Literals then matches a few bytes back from the write position.
  Bytes near;
  for (int round = 0; round < 600; ++round) {
    near.push_back(0x55);  // literal, match, literal, match, ...
    int back = 1 + round % 20;
    int position = (4078 + round * 11 - back) & 0xFFF;
    for (int t = 0; t < 4; ++t) {
      near.push_back(static_cast<std::uint8_t>('a' + round % 26));
      near.push_back(static_cast<std::uint8_t>(position & 0xFF));
      near.push_back(static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (round % 16)));
    }
  }
  ExpectSameDecoding(dir, Member(near, 1, static_cast<std::uint32_t>(near.size())), "near matches");
}

TEST(FastPath, StreamsCutAtEveryPosition) {
  ScratchDir dir;
  Bytes data = BytesOf("It was the best of times, it was the worst of times; it was the best of times.");
  for (int i = 0; i < 6; ++i) data.insert(data.end(), data.begin(), data.begin() + 40);
  Bytes member = EncodeBytes(dir, data);
  Bytes tokens = TokensOf(member);
  std::uint32_t n = static_cast<std::uint32_t>(tokens.size());
  for (std::uint32_t cut = 0; cut <= n; ++cut) {
    // PackedSize cut, and the file itself cut with the right PackedSize.
    ExpectSameDecoding(dir, Member(tokens, static_cast<std::uint32_t>(data.size()), cut),
                       "packed size " + std::to_string(cut));
    Bytes shortFile = Member(tokens, static_cast<std::uint32_t>(data.size()), n);
    shortFile.resize(36 + cut);
    ExpectSameDecoding(dir, shortFile, "file cut at " + std::to_string(cut));
  }
}

TEST(FastPath, LongMembersCrossEveryBlockBoundary) {
  ScratchDir dir;
  // More token bytes than one block holds, and more output than one
  // window, twice over.
  Bytes data = RandomBytes(1200000, 9);
  for (std::size_t i = 0; i < data.size(); i += 97) data[i] = 'q';
  data.insert(data.end(), 1200000, 'z');
  ExpectSameDecoding(dir, EncodeBytes(dir, data), "long member");
}

// The fast path writes its blocks past the stream's buffer; a write that
// fails still shows on the stream, where setuppack looks for it.
TEST(FastPath, WriteErrorsShowOnTheStream) {
#ifdef __linux__
  ScratchDir dir;
  WriteWholeFile(dir.File("member"), EncodeBytes(dir, RandomBytes(300000, 8)));
  TLZSS codec(0);
  ASSERT_TRUE(codec.OpenInput(dir.File("member").c_str(), -1));
  if (!codec.OpenOutput("/dev/full", -1)) GTEST_SKIP() << "no /dev/full here";
  EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 0);
  EXPECT_NE(std::ferror(codec.OutputStream), 0);
#else
  GTEST_SKIP() << "needs /dev/full";
#endif
}

Bytes PlainTokens(const ScratchDir& dir, const Bytes& data) {
  std::string in = dir.File("plain-in.bin"), out = dir.File("plain-tokens.bin");
  WriteWholeFile(in, data);
  FILE* input = std::fopen(in.c_str(), "rb");
  FILE* output = std::fopen(out.c_str(), "wb");
  PlainEncodeTokens(input, output);
  std::fclose(input);
  std::fclose(output);
  return ReadWholeFile(out);
}

TEST(FastPath, EncodeWritesThePlainEncodersBytes) {
  ScratchDir dir;
  std::vector<std::pair<std::string, Bytes>> inputs;
  for (std::size_t n : {0, 1, 2, 17, 18, 19, 34, 35, 36, 4095, 4096, 4113, 70000})
    inputs.push_back({"random " + std::to_string(n), RandomBytes(n, static_cast<std::uint32_t>(n) + 3)});
  Bytes text;
  while (text.size() < 300000) {
    const char* line = "#define WINAPI_FAMILY_PARTITION(x) ((WINAPI_FAMILY & x) == x)\r\n\t\tint value;  ";
    text.insert(text.end(), line, line + std::char_traits<char>::length(line));
    text.push_back(static_cast<std::uint8_t>('0' + text.size() % 10));
  }
  inputs.push_back({"text", text});
  Bytes skewed = RandomBytes(200000, 5);
  for (auto& b : skewed) b = static_cast<std::uint8_t>(b % 3 == 0 ? 0 : b % 7);
  inputs.push_back({"few symbols", skewed});
  inputs.push_back({"spaces", Bytes(50000, ' ')});
  for (const auto& input : inputs)
    EXPECT_EQ(TokensOf(EncodeBytes(dir, input.second)), PlainTokens(dir, input.second)) << input.first;
}

}  // namespace
