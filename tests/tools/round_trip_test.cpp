// Containers that create writes: exactly the codec's members behind their
// name fields, the same bytes for any -j, and back to the same files and
// times through test and extract.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "container.h"
#include "members.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

const LocalTime kTime{2021, 3, 4, 5, 6, 8};

struct PayloadFileData {
  std::string Name;
  Bytes Data;
};

std::vector<PayloadFileData> MixedPayload() {
  Bytes text;
  for (int i = 0; i < 3000; ++i) {
    std::string line = "line " + std::to_string(i % 97) + " of the sample\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  return {{"INSTALL.EXE", RandomBytes(70000, 7)},
          {"README.TXT", text},
          {"EMPTY.DAT", {}},
          {"ONE.BIN", {0x42}},
          {"SPACES.TXT", Bytes(5000, ' ')}};
}

void WritePayload(const std::string& dir, const std::vector<PayloadFileData>& files) {
  fs::create_directories(dir);
  for (const PayloadFileData& file : files) {
    WriteWholeFile(dir + "/" + file.Name, file.Data);
    ASSERT_TRUE(SetLocalWriteTime(dir + "/" + file.Name, kTime));
  }
}

}  // namespace

TEST(RoundTrip, ContainerHoldsExactlyWhatEncodeWrites) {
  ScratchDir dir;
  std::vector<PayloadFileData> files = MixedPayload();
  WritePayload(dir.File("payload"), files);
  ASSERT_EQ(Setuppack({"create", "-q", dir.File("SETUP.TMP"), dir.File("payload")}).Code, 0);

  // Directory members come in byte order of their names.
  std::sort(files.begin(), files.end(),
            [](const PayloadFileData& a, const PayloadFileData& b) { return a.Name < b.Name; });
  ScratchDir encodeDir;
  std::vector<ContainerEntry> expected;
  for (const PayloadFileData& file : files)
    expected.push_back({file.Name, EncodeBytes(encodeDir, file.Data, &kTime)});
  EXPECT_EQ(ReadWholeFile(dir.File("SETUP.TMP")), MakeContainer(expected));
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"SETUP.TMP", "payload"}))
      << "no temporary file left";
}

TEST(RoundTrip, TestAndExtractGiveBackEveryFileWithItsTime) {
  ScratchDir dir;
  std::vector<PayloadFileData> files = MixedPayload();
  WritePayload(dir.File("payload"), files);
  std::string container = dir.File("SETUP.TMP");
  ASSERT_EQ(Setuppack({"create", container, dir.File("payload")}).Code, 0);

  RunResult test = Setuppack({"test", container});
  EXPECT_EQ(test.Code, 0) << test.Err;
  EXPECT_NE(test.Out.find("5 entries"), std::string::npos);

  RunResult extract = Setuppack({"extract", "-C", dir.File("out"), container});
  ASSERT_EQ(extract.Code, 0) << extract.Err;
  for (const PayloadFileData& file : files) {
    std::string path = dir.File("out") + "/" + file.Name;
    EXPECT_EQ(ReadWholeFile(path), file.Data) << file.Name;
    LocalTime time;
    ASSERT_TRUE(GetLocalWriteTime(path, time));
    EXPECT_EQ(time, kTime) << file.Name;
  }
  EXPECT_EQ(FilesIn(dir.File("out")).size(), files.size()) << "no temporary file left";
}

TEST(RoundTrip, SameBytesForEveryJobCountAndEveryRun) {
  ScratchDir dir;
  std::vector<PayloadFileData> files;
  for (int i = 0; i < 23; ++i) {
    Bytes data = RandomBytes(static_cast<std::size_t>(i * 3001 % 40000), static_cast<std::uint32_t>(i + 1));
    for (std::size_t k = 0; k < data.size(); k += 3) data[k] = 'a';  // some matches to find
    files.push_back({"F" + std::to_string(i) + ".BIN", data});
  }
  WritePayload(dir.File("payload"), files);
  ASSERT_EQ(Setuppack({"create", "-q", "-j", "1", dir.File("one.tmp"), dir.File("payload")}).Code, 0);
  Bytes reference = ReadWholeFile(dir.File("one.tmp"));
  for (const char* jobs : {"2", "3", "8", "2"}) {
    ASSERT_EQ(Setuppack({"create", "-q", "-j", jobs, dir.File("many.tmp"), dir.File("payload")}).Code, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("many.tmp")), reference) << "-j " << jobs;
  }
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"many.tmp", "one.tmp", "payload"}));
}

TEST(RoundTrip, FilesAndDirectoriesKeepTheOrderGiven) {
  ScratchDir dir;
  WritePayload(dir.File("d"), {{"B", BytesOf("b")}, {"A", BytesOf("a")}});
  WriteWholeFile(dir.File("Z"), BytesOf("z"));
  ASSERT_EQ(Setuppack({"create", "-q", dir.File("S.TMP"), dir.File("Z"), dir.File("d")}).Code, 0);
  RunResult list = Setuppack({"list", dir.File("S.TMP")});
  std::size_t z = list.Out.find("  Z\n"), a = list.Out.find("  A\n"), b = list.Out.find("  B\n");
  ASSERT_NE(z, std::string::npos);
  EXPECT_LT(z, a);
  EXPECT_LT(a, b);
}

TEST(RoundTrip, ReplacesAnExistingContainerWhole) {
  ScratchDir dir;
  WriteWholeFile(dir.File("SETUP.TMP"), RandomBytes(100000, 3));
  WritePayload(dir.File("p"), {{"INSTALL.EXE", BytesOf("small")}});
  ASSERT_EQ(Setuppack({"create", "-q", dir.File("SETUP.TMP"), dir.File("p")}).Code, 0);
  EXPECT_EQ(Setuppack({"test", dir.File("SETUP.TMP")}).Code, 0);
  EXPECT_LT(ReadWholeFile(dir.File("SETUP.TMP")).size(), 100u);
}

TEST(List, ShowsSizesRatioTimeAndTotal) {
  ScratchDir dir;
  WritePayload(dir.File("p"), {{"INSTALL.EXE", Bytes(1000, 'a')}, {"E.DAT", {}}, {"QU.TXT", BytesOf("abc")}});
  ASSERT_EQ(Setuppack({"create", "-q", dir.File("S.TMP"), dir.File("p")}).Code, 0);

  RunResult text = Setuppack({"list", dir.File("S.TMP")});
  ASSERT_EQ(text.Code, 0) << text.Err;
  // 1000 'a' bytes: one literal, then matches; 36 header bytes count too.
  EXPECT_NE(text.Out.find("2021-03-04 05:06:08  INSTALL.EXE"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("           3           40 1333.3%  2021-03-04 05:06:08  QU.TXT"),
            std::string::npos)
      << text.Out;
  EXPECT_NE(text.Out.find("-  2021-03-04 05:06:08  E.DAT"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("3 entries"), std::string::npos);

  RunResult json = Setuppack({"list", "--json", dir.File("S.TMP")});
  ASSERT_EQ(json.Code, 0);
  EXPECT_NE(
      json.Out.find("\"name\": \"QU.TXT\", \"name_bytes\": \"51552e545854\", \"size\": 3, \"packed\": 40, "
                    "\"ratio\": 13.3333, "
                    "\"modified\": \"2021-03-04T05:06:08\""),
      std::string::npos)
      << json.Out;
  EXPECT_NE(json.Out.find("\"name_bytes\": \"452e444154\", \"size\": 0, \"packed\": 36, \"ratio\": null"),
            std::string::npos);
  EXPECT_NE(json.Out.find("\"total\": {\"entries\": 3, \"size\": 1003"), std::string::npos);
}

TEST(RoundTrip, BestIsSmallerDeterministicAndReadsBack) {
  ScratchDir dir;
  std::vector<PayloadFileData> files = MixedPayload();
  WritePayload(dir.File("payload"), files);
  ASSERT_EQ(Setuppack({"create", "-q", dir.File("plain.tmp"), dir.File("payload")}).Code, 0);
  ASSERT_EQ(Setuppack({"create", "-q", "--best", "-j", "1", dir.File("best.tmp"), dir.File("payload")}).Code,
            0);
  ASSERT_EQ(Setuppack({"create", "-q", "--best", "-j", "3", dir.File("best3.tmp"), dir.File("payload")}).Code,
            0);
  Bytes best = ReadWholeFile(dir.File("best.tmp"));
  EXPECT_EQ(ReadWholeFile(dir.File("best3.tmp")), best) << "the same bytes whatever -j";
  EXPECT_LT(best.size(), ReadWholeFile(dir.File("plain.tmp")).size());

  EXPECT_EQ(Setuppack({"test", "-q", dir.File("best.tmp")}).Code, 0);
  ASSERT_EQ(Setuppack({"extract", "-q", "-C", dir.File("out"), dir.File("best.tmp")}).Code, 0);
  for (const PayloadFileData& file : files)
    EXPECT_EQ(ReadWholeFile(dir.File("out") + "/" + file.Name), file.Data) << file.Name;
}

#ifndef _WIN32  // the names of this system are UTF-8
// Names beyond ASCII, stored in the container's code page: back as the same
// names, judged and listed in that code page, and ASCII names the same
// bytes in every one.
TEST(RoundTrip, NamesInTheUsersLanguage) {
  ScratchDir dir;
  const std::string german =
      "\xC3\x9C"
      "bersicht f\xC3\xBC"
      "r Benutzer.txt";  // Übersicht für Benutzer.txt
  const std::string russian = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt";  // Привет.txt
  WritePayload(dir.File("de"), {{"INSTALL.EXE", BytesOf("MZ")}, {german, BytesOf("Hallo")}});
  ASSERT_EQ(Setuppack({"create", "-q", "-j", "2", dir.File("de.TMP"), dir.File("de")}).Code, 0);
  ASSERT_EQ(Setuppack({"create", "-q", "-j", "1", dir.File("de1.TMP"), dir.File("de")}).Code, 0);
  Bytes stored = ReadWholeFile(dir.File("de.TMP"));
  EXPECT_EQ(ReadWholeFile(dir.File("de1.TMP")), stored);
  const Bytes cp1252 = BytesOf(
      "\xDC"
      "bersicht f\xFC"
      "r Benutzer.txt");
  EXPECT_NE(std::search(stored.begin(), stored.end(), cp1252.begin(), cp1252.end()), stored.end());
  EXPECT_NE(Setuppack({"list", dir.File("de.TMP")}).Out.find(german), std::string::npos);
  EXPECT_NE(Setuppack({"list", "--json", dir.File("de.TMP")})
                .Out.find("\"name\": \"" + german + "\", \"name_bytes\": \"dc62657273696368742066fc72"),
            std::string::npos);
  ASSERT_EQ(Setuppack({"extract", "-q", "-C", dir.File("out"), dir.File("de.TMP")}).Code, 0);
  EXPECT_EQ(ReadWholeFile(dir.File("out/" + german)), BytesOf("Hallo"));

  // Cyrillic needs its own code page; equal apart from case is one file.
  WritePayload(dir.File("ru"), {{"INSTALL.EXE", BytesOf("MZ")}, {russian, BytesOf("x")}});
  RunResult refused = Setuppack({"create", dir.File("ru.TMP"), dir.File("ru")});
  EXPECT_EQ(refused.Code, 1);
  EXPECT_NE(refused.Err.find(russian + ": the name has a character that code page 1252 cannot hold"),
            std::string::npos)
      << refused.Err;
  EXPECT_FALSE(fs::exists(dir.File("ru.TMP")));
  ASSERT_EQ(Setuppack({"create", "-q", "--codepage", "1251", dir.File("ru.TMP"), dir.File("ru")}).Code, 0);
  EXPECT_EQ(Setuppack({"test", "-q", "--codepage", "1251", dir.File("ru.TMP")}).Code, 0);
  EXPECT_EQ(Setuppack({"extract", "-q", "--codepage", "1252", "-C", dir.File("x"), dir.File("ru.TMP")}).Code,
            0)
      << "every byte is defined in 1252 too";
  WriteWholeFile(dir.File("de/\xC3\x9C"
                          "BERSICHT F\xC3\x9C"
                          "R BENUTZER.TXT"),
                 BytesOf("x"));
  RunResult twice = Setuppack({"create", dir.File("twice.TMP"), dir.File("de")});
  EXPECT_EQ(twice.Code, 1);
  EXPECT_NE(twice.Err.find("apart from case"), std::string::npos) << twice.Err;

  // An undefined byte: refused by extract before anything is written,
  // escaped by list.
  WriteWholeFile(dir.File("bad.TMP"), MakeContainer({{"A\x81.TXT", EncodeBytes(dir, BytesOf("a"))}}));
  RunResult bad = Setuppack({"extract", "-C", dir.File("bad"), dir.File("bad.TMP")});
  EXPECT_EQ(bad.Code, 1);
  EXPECT_NE(bad.Err.find("code page 1252 does not define"), std::string::npos) << bad.Err;
  EXPECT_FALSE(fs::exists(dir.File("bad")));
  EXPECT_NE(Setuppack({"list", dir.File("bad.TMP")}).Out.find("A\\x81.TXT"), std::string::npos);
  EXPECT_EQ(Setuppack({"list", "--codepage", "1253x", dir.File("bad.TMP")}).Code, 2);
  EXPECT_EQ(Setuppack({"test", "--codepage", "65001", dir.File("bad.TMP")}).Code, 2);

  // ASCII names: the same bytes in every code page.
  WritePayload(dir.File("ascii"), MixedPayload());
  ASSERT_EQ(
      Setuppack({"create", "-q", "--mtime", "2020-01-01 00:00:00", dir.File("a.TMP"), dir.File("ascii")})
          .Code,
      0);
  ASSERT_EQ(Setuppack({"create", "-q", "--mtime", "2020-01-01 00:00:00", "--codepage", "932",
                       dir.File("j.TMP"), dir.File("ascii")})
                .Code,
            0);
  EXPECT_EQ(ReadWholeFile(dir.File("a.TMP")), ReadWholeFile(dir.File("j.TMP")));
}
#endif
