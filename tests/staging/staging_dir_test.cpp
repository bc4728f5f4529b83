// The staging directory this run created, on the stand-in and on the real
// API alike: who may use it, how it is held, and the clean-up that acts only
// inside it. Races, links and a platform that refuses the descriptor are in
// staging_dir_steered_test.cpp.
#include "staging_fixture.h"

namespace {

const char SYSTEM_SID[] = "S-1-5-18";
const char ADMINISTRATORS_SID[] = "S-1-5-32-544";
constexpr int INHERITED_BY_FILES_AND_DIRECTORIES = 0x1 | 0x2;  // OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE
constexpr unsigned long FULL_CONTROL = 0x1F01FF;               // FILE_ALL_ACCESS

class StagingDir : public StagingTest {
 protected:
  void SetUp() override {
    StagingTest::SetUp();
    ChooseStagingDir();
  }
  std::string Own() const { return Temp() + "_Orvane3d1\\"; }
  std::string Installer() const { return Own() + "INSTALL.EXE"; }
};

}  // namespace

// Full control for the user, SYSTEM and the Administrators, inherited by
// what is made inside, and nothing for anyone else. Wine keeps no more of a
// DACL than the Unix permissions say (the user's entry and SYSTEM's); the
// stand-in shows the descriptor itself, and staging_dir_steered_test.cpp
// holds it to all of it.
TEST_F(StagingDir, OnlyTheUserSystemAndTheAdministratorsMayUseIt) {
  DaclView dacl = Dacl(Temp() + "_Orvane3d1");
  ASSERT_TRUE(dacl.Found);
  bool userFound = false;
  for (const DaclEntry& entry : dacl.Entries) {
    SCOPED_TRACE(entry.Sid);
    EXPECT_EQ(entry.Type, 0);  // allowed
    EXPECT_TRUE(entry.Sid == UserSid() || entry.Sid == SYSTEM_SID || entry.Sid == ADMINISTRATORS_SID);
    EXPECT_EQ(entry.Mask, FULL_CONTROL);
    EXPECT_EQ(entry.Flags, INHERITED_BY_FILES_AND_DIRECTORIES);
    userFound = userFound || entry.Sid == UserSid();
  }
  EXPECT_TRUE(userFound) << "no entry for " << UserSid();
}

TEST_F(StagingDir, IsOwnOnlyForItsOwnPathWithTheBackslash) {
  EXPECT_TRUE(IsOwnStagingDir(Own().c_str()));
  EXPECT_FALSE(IsOwnStagingDir((Temp() + "_Orvane3d1").c_str()));
  EXPECT_FALSE(IsOwnStagingDir((Temp() + "_Orvane3d10\\").c_str()));
  EXPECT_FALSE(IsOwnStagingDir((Temp() + "_Orvane3d1\\SUB\\").c_str()));
  EXPECT_FALSE(IsOwnStagingDir(Temp().c_str()));
  EXPECT_FALSE(IsOwnStagingDir(""));
  ReleaseStagingDir();
  EXPECT_FALSE(IsOwnStagingDir(Own().c_str()));
  EXPECT_TRUE(IsDir(Own()));  // letting go removes nothing
}

TEST_F(StagingDir, CleanUpDeletesTheInstallerAndRemovesTheEmptiedDirectory) {
  MakeFile(Installer(), BytesOf("MZ"));
  CleanUpStaging(Installer().c_str());
  EXPECT_FALSE(Exists(Own()));
  EXPECT_EQ(List(Temp()), std::vector<std::string>{});
}

// What the installer left stays, and with it the directory. A clean-up that
// runs again deletes nothing: the directory was let go of to be removed.
TEST_F(StagingDir, CleanUpKeepsWhatIsLeftAndRunsOnlyOnce) {
  MakeFile(Installer(), BytesOf("MZ"));
  MakeFile(Own() + "Install.ini", BytesOf("[STANDARD]"));
  CleanUpStaging(Installer().c_str());
  EXPECT_EQ(List(Own()), std::vector<std::string>{"Install.ini"});
  EXPECT_FALSE(IsOwnStagingDir(Own().c_str()));
  MakeFile(Installer(), BytesOf("MZ again"));
  CleanUpStaging(Installer().c_str());
  EXPECT_EQ(Read(Installer()), BytesOf("MZ again"));
}

// The installer's message can come from any program of the user; whatever
// InstallerPath names outside the own directory is never deleted.
TEST_F(StagingDir, CleanUpOutsideTheOwnDirectoryDeletesNothing) {
  std::string theirs = Temp() + "_Orvane3d7\\";
  MakeDir(theirs);
  MakeFile(theirs + "INSTALL.EXE", BytesOf("theirs"));
  MakeFile(Installer(), BytesOf("MZ"));
  for (const std::string& path :
       {theirs + "INSTALL.EXE", std::string(), std::string("INSTALL.EXE"), Own() + "SUB\\INSTALL.EXE"})
    CleanUpStaging(path.c_str());
  EXPECT_EQ(Read(theirs + "INSTALL.EXE"), BytesOf("theirs"));
  EXPECT_EQ(Read(Installer()), BytesOf("MZ"));
  EXPECT_TRUE(IsOwnStagingDir(Own().c_str()));
}

#ifdef _WIN32
// Held without FILE_SHARE_DELETE: nobody can rename or remove the directory
// while the run uses it. Another process meets the same sharing check.
TEST_F(StagingDir, WhileHeldItCannotBeRenamedOrRemoved) {
  std::string own = Temp() + "_Orvane3d1", moved = Temp() + "moved";
  EXPECT_FALSE(MoveFileA(own.c_str(), moved.c_str()));
  EXPECT_FALSE(RemoveDirectoryA(own.c_str()));
  EXPECT_TRUE(IsOwnStagingDir(Own().c_str()));
  ReleaseStagingDir();
  EXPECT_TRUE(MoveFileA(own.c_str(), moved.c_str()));
}
#endif
