// Staging below a temporary directory whose path comes close to the 256-byte
// path buffers: member paths that just fit are written, the first that does
// not is refused with the message, and nothing ever overflows or lands
// elsewhere.
#include "container.h"
#include "damage_fixture.h"

namespace {

// A Windows directory path on c: of exactly `length` bytes, backslash
// included, made of components the host can hold.
std::string DirectoryOfLength(std::size_t length) {
  std::string path = "c:\\";
  while (path.size() < length) {
    std::size_t left = length - path.size();
    std::size_t part = left > 60 ? 50 : left - 1;
    path += std::string(part, 'T') + "\\";
  }
  return path;
}

class LongPath : public DamageTest {
 protected:
  // INSTALL.EXE, then README.TXT's member under each of `names`.
  Bytes Container(const std::vector<std::string>& names) const {
    std::vector<ContainerEntry> entries = {{"INSTALL.EXE", MemberOf("INSTALL.EXE")}};
    for (const std::string& name : names) entries.push_back({name, MemberOf("README.TXT")});
    return MakeContainer(entries);
  }

  // The sample's member bytes of one entry: header and token stream.
  Bytes MemberOf(const std::string& name) const {
    const SampleEntry& entry = sample_.Entry(name);
    auto begin = sample_.Content.begin();
    return Bytes(begin + static_cast<std::ptrdiff_t>(entry.Member),
                 begin + static_cast<std::ptrdiff_t>(entry.End));
  }
};

}  // namespace

TEST_F(LongPath, AStagingRootCloseToTheLimit) {
  std::string temp = DirectoryOfLength(229);
  std::string staging = temp + "_Orvane3d1\\";  // 240 bytes: INSTALL.EXE fits with 4 to spare
  ASSERT_EQ(staging.size(), 240u);
  std::string fits(15, 'A'), tooLong(16, 'B');
  PreloaderRun run = RunPreloader(Container({fits, tooLong}), temp);
  EXPECT_STREQ(InstallerPath.c_str(), (staging + "INSTALL.EXE").c_str());
  CheckPreloader(run, Expected::Whole({"INSTALL.EXE"})
                          .With(fits, sample_.Entry("README.TXT").Data)
                          .FailsAt(staging + tooLong));
}

TEST_F(LongPath, ANameOfTheLargestLengthBehindALongRoot) {
  std::string temp = DirectoryOfLength(229);
  std::string name(65535, 'N');
  PreloaderRun run = RunPreloader(Container({name}), temp);
  CheckPreloader(run, Expected::Whole({"INSTALL.EXE"}).FailsAt(temp + "_Orvane3d1\\" + name));
}

// Mended: no staging directory is made where its installer's path would not
// fit a path buffer, since nothing could be staged there. At 233 + 11 + 11
// bytes it just fits; at 234 no number fits, and the user gets the box for
// the last one with nothing written or started, as when every number is
// taken.
TEST_F(LongPath, AStagingDirectoryWhoseInstallerPathDoesNotFit) {
  std::string temp = DirectoryOfLength(233);
  CheckPreloader(RunPreloader(Container({}), temp), Expected::Whole({"INSTALL.EXE"}));
  EXPECT_EQ(std::string(InstallerPath.c_str()).size(), 255u);

  temp = DirectoryOfLength(234);
  PreloaderRun run = RunPreloader(Container({"A"}), temp);
  EXPECT_EQ(run.Result, ExtractResult::StagingRefused);
  ASSERT_EQ(run.Messages.size(), 1u);
  const std::string text = run.Messages[0].Text;
  EXPECT_EQ(text.substr(text.find('\n') + 1), temp + "_Orvane3d32000\\") << "the path, in the box's text";
  EXPECT_TRUE(run.Started.empty());
  EXPECT_TRUE(run.Staged.empty());
  EXPECT_EQ(run.InstallIni, "");
  EXPECT_EQ(run.Outside, std::vector<std::string>{});
}
