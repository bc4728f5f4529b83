// The staging directory on a steered platform, so on the stand-in only:
// another process that acts between our calls (a directory or link that
// appears just before we create or open ours), links at staging names, a
// token that cannot be read, and the exact descriptor CreateDirectoryA gets.
#include <filesystem>

#include "staging_fixture.h"

namespace {

const char TEMP[] = "c:\\windows\\temp\\";
const char ELSEWHERE[] = "c:\\elsewhere\\";

class SteeredStagingDir : public StagingTest {
 protected:
  static std::string Staging(int number) { return TEMP + std::string("_Orvane3d") + std::to_string(number); }
  static bool Own(int number) { return IsOwnStagingDir((Staging(number) + "\\").c_str()); }
  // A link at `windowsPath` to `target` (a host path, which need not exist).
  static void Link(const std::string& windowsPath, const std::string& target) {
    std::filesystem::create_symlink(target, HostPath(windowsPath));
  }
  // Someone else's directory with their installer in it.
  static void MakeTheirs(const std::string& directory) {
    MakeDir(directory + "\\");
    MakeFile(directory + "\\INSTALL.EXE", BytesOf("MZ theirs"));
  }
  static void ExpectTheirsUntouched(const std::string& directory) {
    EXPECT_EQ(List(directory + "\\"), std::vector<std::string>{"INSTALL.EXE"}) << directory;
    EXPECT_EQ(Read(directory + "\\INSTALL.EXE"), BytesOf("MZ theirs")) << directory;
  }
};

}  // namespace

TEST_F(SteeredStagingDir, CreatedWithAProtectedDaclForTheUserSystemAndAdministrators) {
  ChooseStagingDir();
  DaclView dacl = Dacl(Staging(1));
  ASSERT_TRUE(dacl.Found);
  EXPECT_TRUE(dacl.Protected);
  const int inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  EXPECT_EQ(dacl.Entries,
            (std::vector<DaclEntry>{{ACCESS_ALLOWED_ACE_TYPE, inherited, FILE_ALL_ACCESS, STANDIN_USER_SID},
                                    {ACCESS_ALLOWED_ACE_TYPE, inherited, FILE_ALL_ACCESS, "S-1-5-18"},
                                    {ACCESS_ALLOWED_ACE_TYPE, inherited, FILE_ALL_ACCESS, "S-1-5-32-544"}}));
}

// Without the token's user there is no private descriptor, and a directory
// that others could use is never made.
TEST_F(SteeredStagingDir, NoDescriptorMeansNoDirectory) {
  Standin().TokenFails = true;
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d32000\\");
  EXPECT_TRUE(Standin().CreatedDirectories.empty());
  EXPECT_EQ(List(TEMP), std::vector<std::string>{});
}

// The directory appears between the choice and the creation: the number is
// passed over and the other directory left as it is.
TEST_F(SteeredStagingDir, ADirectoryThatAppearsJustBeforeTheCreationIsPassedOver) {
  Standin().BeforeCall = [](const std::string& call, const std::string& path) {
    if (call == "CreateDirectoryA" && path == Staging(1)) MakeTheirs(Staging(1));
  };
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d2\\");
  EXPECT_FALSE(Own(1));
  EXPECT_TRUE(Own(2));
  ExpectTheirsUntouched(Staging(1));
}

// A link at a staging name, to a directory or to nothing, is a name that
// exists: never followed, never used.
TEST_F(SteeredStagingDir, LinksAtStagingNamesArePassedOver) {
  MakeTheirs("c:\\elsewhere");
  Link(Staging(1), HostPath(ELSEWHERE));
  Link(Staging(2), HostPath("c:\\nowhere"));
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d3\\");
  ExpectTheirsUntouched("c:\\elsewhere");
  EXPECT_FALSE(Exists("c:\\nowhere"));
}

// The directory is replaced by a link between its creation and its opening:
// the search ends there, and the link keeps it from being the run's own.
TEST_F(SteeredStagingDir, ADirectoryReplacedBeforeItIsHeldIsNotOwn) {
  MakeTheirs("c:\\elsewhere");
  Standin().BeforeCall = [](const std::string& call, const std::string& path) {
    if (call != "CreateFileA" || path != Staging(1)) return;
    std::filesystem::rename(HostPath(Staging(1)), HostPath("c:\\moved"));
    Link(Staging(1), HostPath(ELSEWHERE));
  };
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d1\\");
  EXPECT_FALSE(Own(1));
  EXPECT_EQ(Standin().CreatedDirectories, std::vector<std::string>{Staging(1)});
}

// Every number taken, the last one by a directory of someone else's: none
// is created and none is the run's own.
TEST_F(SteeredStagingDir, AllNumbersTakenLeavesNoOwnDirectory) {
  Standin().AlsoExists = [](const std::string& path) {
    return path.rfind(std::string(TEMP) + "_Orvane3d", 0) == 0 && path != Staging(32000);
  };
  MakeTheirs(Staging(32000));
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d32000\\");
  EXPECT_FALSE(Own(32000));
  EXPECT_EQ(Standin().CreatedDirectories.size(), 32000u);
  EXPECT_TRUE(Standin().DirectoryDacls.empty());
  ExpectTheirsUntouched(Staging(32000));
}

// The stand-in cannot refuse a rename of a held directory, as the platform
// does; the path's own check still sees a link put in its place.
TEST_F(SteeredStagingDir, CleanUpThroughALinkDeletesNothing) {
  MakeTheirs("c:\\elsewhere");
  ChooseStagingDir();
  std::filesystem::rename(HostPath(Staging(1)), HostPath("c:\\moved"));
  Link(Staging(1), HostPath(ELSEWHERE));
  EXPECT_FALSE(Own(1));
  CleanUpStaging((Staging(1) + "\\INSTALL.EXE").c_str());
  ExpectTheirsUntouched("c:\\elsewhere");
}
