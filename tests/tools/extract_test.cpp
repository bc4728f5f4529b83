// `extract` writes nothing outside its directory and never lets a damaged
// member replace a good file.
#include <gtest/gtest.h>

#include <filesystem>

#include "container.h"
#include "members.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

TEST(Extract, RefusesNamesThatLeadOutsideAndWritesTheRest) {
  ScratchDir dir;
  Bytes member = EncodeBytes(dir, BytesOf("evil"));
  fs::create_directories(dir.File("out"));
  for (const std::string name : {"..\\ESCAPED.TXT", "../ESCAPED.TXT", "/tmp/ESCAPED.TXT", "\\ESCAPED.TXT",
                                 "C:ESCAPED.TXT", "SUB\\..\\..\\ESCAPED.TXT"}) {
    WriteWholeFile(dir.File("S.TMP"), MakeContainer({{name, member}, {"GOOD.TXT", member}}));
    RunResult run = Setuppack({"extract", "-C", dir.File("out"), dir.File("S.TMP")});
    EXPECT_EQ(run.Code, 1) << name;
    EXPECT_NE(run.Err.find("entry 0"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("refused"), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(dir.File("ESCAPED.TXT"))) << name;
    EXPECT_FALSE(fs::exists("/tmp/ESCAPED.TXT")) << name;
    EXPECT_EQ(FilesIn(dir.File("out")), std::vector<std::string>{"GOOD.TXT"}) << name;
  }
}

TEST(Extract, WritesNamesWithADirectoryBelowTheTarget) {
  ScratchDir dir;
  WriteWholeFile(dir.File("S.TMP"), MakeContainer({{"SUB\\FILE.DAT", EncodeBytes(dir, BytesOf("inside"))}}));
  ASSERT_EQ(Setuppack({"extract", "-C", dir.File("out"), dir.File("S.TMP")}).Code, 0);
  EXPECT_EQ(ReadWholeFile(dir.File("out") + "/SUB/FILE.DAT"), BytesOf("inside"));
}

TEST(Extract, ADamagedMemberLeavesTheExistingFileAndStops) {
  ScratchDir dir;
  Bytes good = EncodeBytes(dir, BytesOf("fresh content, fresh content"));
  Bytes bad = good;
  bad.pop_back();
  bad[32] = static_cast<std::uint8_t>(bad[32] - 1);  // consistent PackedSize, lost last token
  fs::create_directories(dir.File("out"));
  WriteWholeFile(dir.File("out") + "/B.TXT", BytesOf("old"));
  WriteWholeFile(dir.File("S.TMP"), MakeContainer({{"A.TXT", good}, {"B.TXT", bad}, {"C.TXT", good}}));

  RunResult run = Setuppack({"extract", "-C", dir.File("out"), dir.File("S.TMP")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Err.find("entry 1 (B.TXT) at byte"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadWholeFile(dir.File("out") + "/B.TXT"), BytesOf("old"));
  EXPECT_EQ(FilesIn(dir.File("out")), (std::vector<std::string>{"A.TXT", "B.TXT"}));
}
