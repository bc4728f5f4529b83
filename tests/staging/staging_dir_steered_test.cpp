// The staging directory on a steered platform, so on the stand-in only:
// another process that acts between our calls (a directory or link that
// appears just before we create or open ours), links at staging names, a
// token that cannot be read, and the exact descriptor CreateDirectoryA gets;
// roots that are links or someone else's, and an elevated token.
#include <filesystem>
#include <functional>

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

namespace {

// A root that someone else prepared, and where the staging directory goes
// then: the next root that can be trusted ("" is the current directory),
// or none at all.
struct RootCase {
  const char* Name;
  std::function<void()> Prepare;
  const char* Staging;  // the own staging directory, or null for none
};

void LinkAt(const std::string& windowsPath, const std::string& targetWindowsPath) {
  std::filesystem::create_directories(HostPath(targetWindowsPath));
  std::filesystem::create_symlink(HostPath(targetWindowsPath), HostPath(windowsPath));
}
void NoTemp() { Standin().TempPath = "c:\\nowhere\\"; }

const RootCase ROOT_CASES[] = {
    {"a plain temporary directory", [] {}, "c:\\windows\\temp\\_Orvane3d1\\"},
    {"a temporary directory that is a link",
     [] {
       Standin().TempPath = "c:\\linked\\";
       LinkAt("c:\\linked", "c:\\elsewhere");
     },
     "c:\\temp\\_Orvane3d1\\"},
    {"c:\\temp of the Administrators",
     [] {
       NoTemp();
       std::filesystem::create_directories(HostPath("c:\\temp"));
       Standin().Owners["c:\\temp"] = "S-1-5-32-544";
     },
     "c:\\temp\\_Orvane3d1\\"},
    {"c:\\temp of TrustedInstaller",
     [] {
       NoTemp();
       std::filesystem::create_directories(HostPath("c:\\temp"));
       Standin().Owners["c:\\temp"] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
     },
     "c:\\temp\\_Orvane3d1\\"},
    {"c:\\temp of another user",
     [] {
       NoTemp();
       std::filesystem::create_directories(HostPath("c:\\temp"));
       Standin().Owners["c:\\temp"] = "S-1-5-21-1-2-3-1002";
     },
     "_Orvane3d1\\"},
    {"c:\\temp that is a link",
     [] {
       NoTemp();
       LinkAt("c:\\temp", "c:\\elsewhere");
     },
     "_Orvane3d1\\"},
    {"a current directory of another user as the last resort",
     [] {
       NoTemp();
       Standin().FailingDirectories.insert("c:\\temp");
       Standin().Owners["c:\\work"] = "S-1-5-21-1-2-3-1002";
     },
     nullptr},
    {"a current directory that is a link as the last resort",
     [] {
       NoTemp();
       Standin().FailingDirectories.insert("c:\\temp");
       LinkAt("c:\\linked", "c:\\elsewhere");
       Standin().CurrentDirectory = "c:\\linked\\";
     },
     nullptr},
};

}  // namespace

// Mended: a root that is a reparse point, or a shared one that someone else
// owns, counts as one that takes no file; the search goes on, and with no
// root to trust no staging directory is made at all.
TEST_F(SteeredStagingDir, OnlyATrustedRootTakesTheStagingDirectory) {
  for (const RootCase& c : ROOT_CASES) {
    SCOPED_TRACE(c.Name);
    Restart();
    c.Prepare();
    ChooseStagingDir();
    if (c.Staging) {
      EXPECT_TRUE(IsOwnStagingDir(c.Staging));
    } else {
      EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d32000\\");
      EXPECT_TRUE(Standin().CreatedDirectories.empty() ||
                  Standin().CreatedDirectories == std::vector<std::string>{"c:\\temp\\"});
    }
    EXPECT_FALSE(Exists("c:\\elsewhere\\_Orvane3d1"));
  }
}

// Mended: the root is held, and the second look at it (ExtractArchive's)
// must find the same directory: a c:\temp\ replaced by a link between the
// two is no root, and what comes out of the search then is not the
// directory this run made.
TEST_F(SteeredStagingDir, ARootReplacedAfterTheChoiceIsNoRoot) {
  NoTemp();
  ChooseStagingDir();
  ASSERT_TRUE(IsOwnStagingDir("c:\\temp\\_Orvane3d1\\"));
  std::filesystem::rename(HostPath("c:\\temp"), HostPath("c:\\moved"));
  LinkAt("c:\\temp", "c:\\elsewhere");
  MakeTheirs("c:\\elsewhere\\_Orvane3d1");
  EXPECT_EQ(FindStagingRoot().c_str(), std::string());
  EXPECT_FALSE(IsOwnStagingDir("c:\\temp\\_Orvane3d1\\"));
  ExpectTheirsUntouched("c:\\elsewhere\\_Orvane3d1");
}

// Mended: in an elevated run the staging directory carries a High label
// with no-write-up, inherited by what is made inside; a run that is not
// elevated (or a system without labels) gets no SACL.
TEST_F(SteeredStagingDir, AnElevatedRunLabelsTheDirectoryHigh) {
  for (DWORD rid : {0u, 0x2000u, 0x3000u, 0x4000u}) {
    SCOPED_TRACE(rid);
    Restart();
    Standin().IntegrityRid = rid;
    ChooseStagingDir();
    ASSERT_TRUE(Own(1));
    auto sacl = Standin().DirectorySacls.find(Staging(1));
    if (rid < 0x3000) {
      EXPECT_TRUE(sacl == Standin().DirectorySacls.end());
      continue;
    }
    ASSERT_TRUE(sacl != Standin().DirectorySacls.end());
    const int inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    EXPECT_EQ(sacl->second.Aces,
              (std::vector<RecordedAce>{{SYSTEM_MANDATORY_LABEL_ACE_TYPE, inherited,
                                         SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, "S-1-16-12288"}}));
  }
}
