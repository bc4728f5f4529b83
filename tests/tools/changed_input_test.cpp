// `create` reads each payload file as it was when the payload was listed:
// a file that something else has taken the place of since then (a pipe, a
// device, another file) is refused at once, never waited on, and nothing
// is left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "jobs/parallel_packer.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

class ChangedInput : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    payload = dir.File("payload");
    fs::create_directories(payload);
    WriteWholeFile(payload + "/INSTALL.EXE", BytesOf("MZ stand-in"));
    WriteWholeFile(payload + "/DATA.BIN", RandomBytes(100000, 3));
    files = CollectPayload({payload}, false, problems);
    ASSERT_TRUE(problems.empty());
    ASSERT_EQ(files.size(), 2u);
  }

  // Packs what was listed with GetParam() jobs; the failure is returned.
  Problem Pack() {
    std::ostringstream out, err;
    PackSummary summary;
    Problem failure;
    bool packed = PackContainer(dir.File("SETUP.TMP"), files, GetParam(), EncodeEffort::Standard,
                                Console{out, err, false, true}, summary, failure);
    EXPECT_FALSE(packed);
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"payload"}) << "no container, no temporary file";
    return failure;
  }

  ScratchDir dir;
  std::string payload;
  std::vector<Problem> problems;
  std::vector<PayloadFile> files;
};

}  // namespace

TEST_P(ChangedInput, AnotherFileInItsPlace) {
  WriteWholeFile(payload + "/DATA.BIN", BytesOf("something else"));
  Problem failure = Pack();
  EXPECT_EQ(failure.File, payload + "/DATA.BIN");
  EXPECT_NE(failure.What.find("changed since it was listed (100000 bytes then, 14 now)"), std::string::npos)
      << failure.What;
}

#ifndef _WIN32
TEST_P(ChangedInput, APipeInItsPlaceIsRefusedNotWaitedOn) {
  fs::remove(payload + "/DATA.BIN");
  ASSERT_EQ(mkfifo((payload + "/DATA.BIN").c_str(), 0600), 0);  // no writer will ever come
  Problem failure = Pack();
  EXPECT_EQ(failure.File, payload + "/DATA.BIN");
  EXPECT_NE(failure.What.find("no longer a regular file"), std::string::npos) << failure.What;
  fs::remove(payload + "/DATA.BIN");
}
#endif

INSTANTIATE_TEST_SUITE_P(Create, ChangedInput, ::testing::Values(1u, 2u),
                         [](const ::testing::TestParamInfo<unsigned>& param) {
                           return std::to_string(param.param) + "Jobs";
                         });
