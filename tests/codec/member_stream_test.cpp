// Members one after another in one stream, and progress reports.
#include <gtest/gtest.h>

#include "lzss.h"
#include "members.h"

namespace {

TEST(MemberStream, TwoMembersBackToBack) {
  ScratchDir dir;
  Bytes first = BytesOf("first member, first member, first member");
  Bytes second = RandomBytes(5000, 3);
  std::string a = dir.File("a"), b = dir.File("b"), packed = dir.File("packed");
  WriteWholeFile(a, first);
  WriteWholeFile(b, second);
  std::int64_t firstEnd = 0;
  {
    TLZSS codec(0);
    ASSERT_TRUE(codec.OpenOutput(packed.c_str(), -1));
    ASSERT_TRUE(codec.OpenInput(a.c_str(), -1));
    ASSERT_EQ(codec.Encode(codec.InputStream, codec.OutputStream), 1);
    firstEnd = std::ftell(codec.OutputStream);  // Encode leaves it behind its member
    EXPECT_EQ(firstEnd, 36 + static_cast<long>(codec.PackedSize));
    ASSERT_TRUE(codec.OpenInput(b.c_str(), -1));
    ASSERT_EQ(codec.Encode(codec.InputStream, codec.OutputStream), 1);
    EXPECT_EQ(std::ftell(codec.OutputStream), firstEnd + 36 + static_cast<long>(codec.PackedSize));
  }
  TLZSS codec(0);
  ASSERT_TRUE(codec.OpenInput(packed.c_str(), -1));
  ASSERT_TRUE(codec.OpenOutput(dir.File("out-a").c_str(), -1));
  EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 1);
  EXPECT_EQ(std::ftell(codec.InputStream), firstEnd);
  ASSERT_TRUE(codec.OpenOutput(dir.File("out-b").c_str(), -1));
  EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 1);
  EXPECT_EQ(std::fgetc(codec.InputStream), EOF);
  codec.OpenOutput(nullptr, -1);
  EXPECT_EQ(ReadWholeFile(dir.File("out-a")), first);
  EXPECT_EQ(ReadWholeFile(dir.File("out-b")), second);
}

TEST(MemberStream, OpeningAgainClosesThePreviousStream) {
  ScratchDir dir;
  TLZSS codec(0);
  ASSERT_TRUE(codec.OpenOutput(dir.File("x").c_str(), -1));
  EXPECT_FALSE(codec.OpenOutput(dir.File("missing/dir/x").c_str(), -1));
  EXPECT_EQ(codec.OutputStream, nullptr);
  EXPECT_FALSE(codec.OpenInput(nullptr, -1));
  EXPECT_EQ(codec.InputStream, nullptr);
  WriteWholeFile(dir.File("y"), BytesOf("0123456789"));
  ASSERT_TRUE(codec.OpenInput(dir.File("y").c_str(), 4));
  EXPECT_EQ(std::fgetc(codec.InputStream), '4');
}

// A new file and one that exists come out the same: empty, to be written
// and read back.
TEST(MemberStream, OpenOutputMakesAFileOrEmptiesTheOneThere) {
  ScratchDir dir;
  WriteWholeFile(dir.File("old"), BytesOf("old content, longer than the new"));
  for (const char* name : {"new", "old"}) {
    TLZSS codec(0);
    ASSERT_TRUE(codec.OpenOutput(dir.File(name).c_str(), -1)) << name;
    EXPECT_EQ(std::fgetc(codec.OutputStream), EOF) << name;
    std::fseek(codec.OutputStream, 0, SEEK_SET);
    EXPECT_EQ(std::fwrite("fresh", 1, 5, codec.OutputStream), 5u) << name;
    std::fseek(codec.OutputStream, 1, SEEK_SET);
    EXPECT_EQ(std::fgetc(codec.OutputStream), 'r') << name;
    codec.OpenOutput(nullptr, -1);
    EXPECT_EQ(ReadWholeFile(dir.File(name)), BytesOf("fresh")) << name;
  }
}

class RecordingCodec : public TLZSS {
 public:
  RecordingCodec(int enabled) : TLZSS(enabled) {}
  void Progress(std::uint32_t done, std::uint32_t total) override {
    // The byte is in the output stream before it is reported.
    EXPECT_EQ(std::ftell(OutputStream), static_cast<long>(done) + 1);
    calls.push_back({done, total});
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
};

TEST(MemberStream, ProgressOncePerByteOnlyWhenEnabled) {
  ScratchDir dir;
  Bytes data = RandomBytes(3000, 11);
  data.insert(data.end(), 2000, 'z');
  WriteWholeFile(dir.File("member"), EncodeBytes(dir, data));
  for (int enabled : {0, 1}) {
    RecordingCodec codec(enabled);
    ASSERT_TRUE(codec.OpenInput(dir.File("member").c_str(), -1));
    ASSERT_TRUE(codec.OpenOutput(dir.File("out").c_str(), -1));
    EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 1);
    if (!enabled) {
      EXPECT_TRUE(codec.calls.empty());
      EXPECT_EQ(codec.ProgressCount, 0u);
      continue;
    }
    ASSERT_EQ(codec.calls.size(), data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
      ASSERT_EQ(codec.calls[i].first, i);
      ASSERT_EQ(codec.calls[i].second, data.size());
    }
    codec.OpenOutput(nullptr, -1);
    EXPECT_EQ(ReadWholeFile(dir.File("out")), data);
  }
}

// Turns the reports off from inside the first one.
class OneReportCodec : public TLZSS {
 public:
  OneReportCodec() : TLZSS(1) {}
  void Progress(std::uint32_t, std::uint32_t) override {
    ++calls;
    ProgressEnabled = 0;
  }
  int calls = 0;
};

TEST(MemberStream, ProgressEnabledIsLookedAtForEveryByte) {
  ScratchDir dir;
  WriteWholeFile(dir.File("member"), MakeMember(Bytes{0x03, 0x61, 0x62, 0xEE, 0xF4}, 9));
  OneReportCodec codec;
  ASSERT_TRUE(codec.OpenInput(dir.File("member").c_str(), -1));
  ASSERT_TRUE(codec.OpenOutput(dir.File("out").c_str(), -1));
  EXPECT_EQ(codec.Decode(codec.InputStream, codec.OutputStream), 1);
  EXPECT_EQ(codec.calls, 1);
  EXPECT_EQ(codec.ProgressCount, 1u);
  codec.OpenOutput(nullptr, -1);
  EXPECT_EQ(ReadWholeFile(dir.File("out")), BytesOf("ababababa"));
}

}  // namespace
