// `test` and `list` on damaged containers: every cut, trailing bytes, bad
// counts and headers, and names the preloader would refuse are reported
// with the entry's index, name and byte offset, and exit 1.
#include <gtest/gtest.h>

#include "container.h"
#include "container/container_reader.h"
#include "lzss.h"
#include "members.h"
#include "setuppack_runner.h"
#include "container/token_check.h"

namespace {

class ContainerCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    good = MakeContainer(
        {{"INSTALL.EXE", EncodeBytes(dir, BytesOf("MZ installer stand-in, installer stand-in"))},
         {"EMPTY.DAT", EncodeBytes(dir, {})},
         {"C.TXT", EncodeBytes(dir, BytesOf("ccccccccccccccccccccccccccccccccc!"))}});
  }

  RunResult Test(const Bytes& container) {
    WriteWholeFile(dir.File("S.TMP"), container);
    return Setuppack({"test", dir.File("S.TMP")});
  }

  // Exit 1 with "setuppack: FILE: ..." on stderr, saying `what`.
  void ExpectBad(const Bytes& container, const std::string& what) {
    RunResult run = Test(container);
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err.rfind("setuppack: " + dir.File("S.TMP") + ": ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find(what), std::string::npos) << run.Err;
  }

  ScratchDir dir;
  Bytes good;
};

// Offsets in `good`: count 2; entry 0 name field 2+11, member 36+tokens.
std::size_t EntryOffset(const Bytes& container, int index) {
  std::size_t at = 2;
  for (int i = 0; i < index; ++i) {
    std::size_t nameLength = container[at] | (container[at + 1] << 8);
    at += 2 + nameLength;
    at += 36 + LittleEndian32(container, at + 32);
  }
  return at;
}

}  // namespace

TEST_F(ContainerCheck, AGoodContainerPasses) {
  RunResult run = Test(good);
  EXPECT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
}

TEST_F(ContainerCheck, EveryCutIsCaught) {
  for (std::size_t length = 0; length < good.size(); ++length) {
    RunResult run = Test(Bytes(good.begin(), good.begin() + static_cast<long>(length)));
    EXPECT_EQ(run.Code, 1) << "cut to " << length << " bytes";
    EXPECT_NE(run.Err.find("cut short"), std::string::npos) << length << ": " << run.Err;
  }
}

TEST_F(ContainerCheck, CutInsideATokenStreamNamesEntryAndOffset) {
  std::size_t third = EntryOffset(good, 2);
  ExpectBad(Bytes(good.begin(), good.end() - 1),
            "entry 2 (C.TXT) at byte " + std::to_string(third + 2 + 5 + 36) + ": cut short");
}

TEST_F(ContainerCheck, TrailingBytesAndCountsThatDisagree) {
  Bytes trailing = good;
  trailing.push_back(0);
  ExpectBad(trailing,
            "at byte " + std::to_string(good.size()) + ": 1 bytes behind the last of the 3 entries");

  Bytes fewer = good;
  fewer[0] = 2;
  ExpectBad(fewer, "at byte " + std::to_string(EntryOffset(good, 2)) + ": ");
  Bytes more = good;
  more[0] = 4;
  ExpectBad(more, "entry 3 () at byte " + std::to_string(good.size()) + ": cut short inside the name length");

  for (std::uint8_t high : {0x80, 0xFF}) {
    Bytes negative = good;
    negative[1] = high;
    ExpectBad(negative, "at byte 0: the entry count 0x");
  }
}

TEST_F(ContainerCheck, AnEmptyContainerPassesWithAWarning) {
  RunResult run = Test({0, 0});
  EXPECT_EQ(run.Code, 0);
  EXPECT_NE(run.Err.find("no member is named INSTALL.EXE"), std::string::npos);
}

TEST_F(ContainerCheck, BadHeaders) {
  Bytes magic = good;
  magic[EntryOffset(good, 1) + 2 + 9] ^= 0x01;
  ExpectBad(magic,
            "entry 1 (EMPTY.DAT) at byte " + std::to_string(EntryOffset(good, 1) + 11) + ": no member here");

  // An empty member whose header announces token bytes: the preloader reads
  // none, so the next entry would start inside them.
  HeaderFields empty;
  empty.PackedSize = 2;
  ExpectBad(MakeContainer({{"INSTALL.EXE", MakeMember(empty, {0x00, 0x00})}}),
            "an empty member announces 2 token bytes");

  ExpectBad(MakeContainer({{"INSTALL.EXE", MakeMember({0x07, 'a', 'b', 'c'}, 4)}}),
            "decodes to 3 bytes, the header announces 4");
}

TEST_F(ContainerCheck, NamesThePreloaderWouldRefuseOrFailOn) {
  Bytes member = EncodeBytes(dir, BytesOf("x"));
  ExpectBad(MakeContainer({{"INSTALL.EXE", member}, {"", member}}),
            "entry 1 () at byte " + std::to_string(2 + 2 + 11 + member.size()) + ": the name is empty");
  ExpectBad(MakeContainer({{std::string("INSTALL.EXE\0X", 13), member}}),
            "entry 0 (INSTALL.EXE\\x00X) at byte 2: the name contains a zero byte");
  ExpectBad(MakeContainer({{"SUB\\INSTALL.EXE", member}}), "contains '\\'");
  ExpectBad(MakeContainer({{"INSTALL.EXE", member}, {"install.exe", member}}),
            "entry 1 (install.exe) at byte " + std::to_string(2 + 2 + 11 + member.size()) +
                ": the preloader writes it over entry 0 (INSTALL.EXE), whose name differs only in case");
  ExpectBad(MakeContainer({{"AUX.TXT", member}}), "device name");
  ExpectBad(MakeContainer({{std::string(300, 'n'), member}}), "at most 191 bytes");
}

// The token check must fail wherever the codec's Decode fails, and may pass
// only where Decode passes: it stands in for a real decode.
TEST(TokenCheckAgainstDecode, AgreesOnEveryDamagedByte) {
  ScratchDir dir;
  Bytes data = BytesOf("abcabcabcabc the quick brown fox, the quick brown fox jumps over the lazy fox.");
  data.insert(data.end(), 40, 'z');
  Bytes member = EncodeBytes(dir, data);
  int failures = 0;
  for (std::size_t at = 36; at < member.size(); ++at) {
    for (std::uint8_t flip : {0x01, 0x10, 0x80, 0xFF}) {
      Bytes damaged = member;
      damaged[at] ^= flip;
      DecodeOutcome decoded = DecodeBytes(dir, damaged);
      WriteWholeFile(dir.File("m.bin"), damaged);
      FILE* in = std::fopen(dir.File("m.bin").c_str(), "rb");
      MemberHeader header;
      ReadMemberHeader(in, header);
      TokenCheck check = CheckTokenStream(in, header, 36, nullptr);
      std::fclose(in);
      if (decoded.Result == 0) {
        EXPECT_FALSE(check.Ok) << "byte " << at << " ^ " << int(flip);
      }
      if (check.Ok) {
        EXPECT_EQ(decoded.Result, 1) << "byte " << at << " ^ " << int(flip);
      }
      failures += check.Ok ? 0 : 1;
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(TokenCheck, CatchesWhatDecodeForgives) {
  ScratchDir dir;
  auto check = [&](const Bytes& tokens, std::uint32_t unpacked) {
    WriteWholeFile(dir.File("m.bin"), MakeMember(tokens, unpacked));
    FILE* in = std::fopen(dir.File("m.bin").c_str(), "rb");
    MemberHeader header;
    ReadMemberHeader(in, header);
    TokenCheck result = CheckTokenStream(in, header, 36, nullptr);
    std::fclose(in);
    return result;
  };
  EXPECT_TRUE(check({0x03, 'a', 'b', 0xEE, 0xF4}, 9).Ok) << "overlapping match into written bytes";
  EXPECT_TRUE(check({0x00, 0x00, 0x00}, 3).Ok) << "match into the initial spaces";
  EXPECT_TRUE(check({0x06, 0xDC, 0xFF, 0x20, 0x20}, 20).Ok);
  TokenCheck unwritten = check({0x00, 0xEE, 0xF0}, 3);  // copies 4078.. before anything is there
  EXPECT_FALSE(unwritten.Ok);
  EXPECT_NE(unwritten.What.find("no token has written"), std::string::npos);
  TokenCheck dangling = check({0x07, 'a', 'b', 'c', 0x01}, 3);
  EXPECT_FALSE(dangling.Ok) << "a flag byte with no token behind it";
  EXPECT_EQ(dangling.Offset, 36u + 4);
  EXPECT_FALSE(check({0x07, 'a', 'b', 'c'}, 2).Ok) << "more bytes than announced";
}

TEST(ListDamaged, ListsWhatItCouldReadAndExits1) {
  ScratchDir dir;
  Bytes member = EncodeBytes(dir, BytesOf("abc"));
  Bytes container = MakeContainer(2, {{"A.TXT", member}});
  WriteWholeFile(dir.File("S.TMP"), container);
  RunResult text = Setuppack({"list", dir.File("S.TMP")});
  EXPECT_EQ(text.Code, 1);
  EXPECT_NE(text.Out.find("A.TXT"), std::string::npos) << text.Out;
  EXPECT_NE(text.Err.find("entry 1 () at byte " + std::to_string(container.size())), std::string::npos)
      << text.Err;
  // A name that test and extract refuse is listed, escaped, and fails the
  // listing as they fail, as the first fault in the container's order.
  WriteWholeFile(dir.File("S.TMP"), MakeContainer(2, {{"a\"b\x01", member}}));
  RunResult json = Setuppack({"list", "--json", dir.File("S.TMP")});
  EXPECT_EQ(json.Code, 1);
  EXPECT_NE(json.Out.find("\"name\": \"a\\\"b\\u0001\""), std::string::npos) << json.Out;
  EXPECT_NE(json.Out.find("\"error\": \"entry 0 (a\\\"b\\\\x01) at byte 2: the name contains"),
            std::string::npos)
      << json.Out;
  EXPECT_EQ(Setuppack({"list", dir.File("missing.tmp")}).Code, 1);
}
