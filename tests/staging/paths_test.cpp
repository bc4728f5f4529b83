// Path helpers on the stand-in and on the real API alike: FileExists,
// ModuleDirectory, MakeTempFileName in the system's temporary directory,
// MakePath, FindStagingRoot, ChooseStagingDir. The fallbacks and limits that
// need a steered platform are in paths_steered_test.cpp.
#include "paths_fixture.h"

namespace {

bool IsHexDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

}  // namespace

using Paths = PathsTest;

TEST_F(Paths, StagingBaseNameIsTheConstant) { EXPECT_STREQ(StagingBaseName.c_str(), "_Orvane3d"); }

TEST_F(Paths, FileExistsForFilesAndDirectoriesNotForNullOrMissing) {
  MakeFile(Work() + "A.TXT");
  std::string work = Work();
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_TRUE(FileExists((work + "A.TXT").c_str()));
  EXPECT_TRUE(FileExists(work.substr(0, work.size() - 1).c_str()));
  EXPECT_TRUE(FileExists(work.c_str()));
  EXPECT_FALSE(FileExists((work + "B.TXT").c_str()));
  EXPECT_FALSE(FileExists(""));
}

TEST_F(Paths, ModuleDirectoryIsTheProgramsDirectoryWithItsBackslash) {
  std::string module = ModuleFileName();
  EXPECT_EQ(Directory(), module.substr(0, module.rfind('\\') + 1));
  EXPECT_TRUE(FileExists(Directory().c_str()));
}

TEST_F(Paths, TempFileNameInTheSystemTemporaryDirectory) {
  std::string name = TempName();
  // The platform's pattern: the prefix's first three characters, a
  // hexadecimal number (its digits in either case), ".tmp"; the file is
  // made empty.
  ASSERT_EQ(name.substr(0, Temp().size() + 3), Temp() + "INS");
  ASSERT_GE(name.size(), Temp().size() + 3 + 4);
  EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
  EXPECT_TRUE(IsHexDigits(name.substr(Temp().size() + 3, name.size() - Temp().size() - 7))) << name;
  EXPECT_TRUE(Exists(name));
  EXPECT_TRUE(Read(name).empty());
  EXPECT_EQ(List(Temp()), std::vector<std::string>{name.substr(Temp().size())});
  // Only the first three characters of the prefix count.
  std::string other = TempName("ABCDEF");
  EXPECT_EQ(other.substr(Temp().size(), 4), "ABC" + other.substr(Temp().size() + 3, 1));
  EXPECT_NE(other, name);
}

TEST_F(Paths, MakePathCreatesEveryDirectoryButNotTheFile) {
  std::string target = Work() + "A\\B\\C.EXE";
  EXPECT_TRUE(MakePath(target.c_str()));
  EXPECT_TRUE(IsDir(Work() + "A"));
  EXPECT_TRUE(IsDir(Work() + "A\\B"));
  EXPECT_FALSE(Exists(target));
  EXPECT_TRUE(MakePath(target.c_str()));  // all there: nothing made
  if (RecordsCalls()) {
    EXPECT_EQ(CreatedDirectories(), (std::vector<std::string>{Work() + "A", Work() + "A\\B"}));
  }
}

TEST_F(Paths, MakePathOnARelativePathWorksInTheCurrentDirectory) {
  EXPECT_TRUE(MakePath("_Orvane3d1\\INSTALL.EXE"));
  EXPECT_TRUE(IsDir(Work() + "_Orvane3d1"));
  EXPECT_FALSE(Exists(Work() + "_Orvane3d1\\INSTALL.EXE"));
}

// A plain file where a directory should be: its creation fails on any
// platform.
TEST_F(Paths, MakePathStopsAtAFileInTheWay) {
  MakeFile(Work() + "A");
  EXPECT_FALSE(MakePath((Work() + "A\\B\\C.EXE").c_str()));
  EXPECT_FALSE(IsDir(Work() + "A"));
  EXPECT_EQ(List(Work()), std::vector<std::string>{"A"});
}

// Mended: a path that does not fit the 256-byte working copy is a failure,
// and nothing along it is created.
TEST_F(Paths, MakePathTooLongFailsAndCreatesNothing) {
  std::string fits = Work() + "X\\";
  fits += std::string(255 - fits.size(), 'f');
  ASSERT_EQ(fits.size(), 255u);
  EXPECT_TRUE(MakePath(fits.c_str()));
  EXPECT_TRUE(IsDir(Work() + "X"));
  std::string tooLong = Work() + "Y\\";
  tooLong += std::string(256 - tooLong.size(), 'f');
  EXPECT_FALSE(MakePath(tooLong.c_str()));
  EXPECT_FALSE(Exists(Work() + "Y"));
}

TEST_F(Paths, FindStagingRootIsTheTemporaryDirectoryAndLeavesNoFile) {
  EXPECT_EQ(StagingRoot(), Temp());
  EXPECT_EQ(List(Temp()), std::vector<std::string>{});
}

// Mended: the chosen number is the first whose directory this run could
// create; the directory is made then, and is this run's own.
TEST_F(Paths, ChooseStagingDirCreatesTheFirstFreeNumber) {
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d1\\");
  EXPECT_EQ(List(Temp()), std::vector<std::string>{"_Orvane3d1"});
  EXPECT_EQ(List(Temp() + "_Orvane3d1\\"), std::vector<std::string>{});
  EXPECT_TRUE(IsOwnStagingDir((Temp() + "_Orvane3d1\\").c_str()));
}

TEST_F(Paths, ChooseStagingDirSkipsAPlainFileAndDirectoriesAndLeavesThemAlone) {
  MakeFile(Temp() + "_Orvane3d1", BytesOf("theirs"));
  MakeDir(Temp() + "_Orvane3d2\\");
  MakeFile(Temp() + "_Orvane3d2\\INSTALL.EXE", BytesOf("MZ theirs"));
  MakeDir(Temp() + "_Orvane3d4\\");
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d3\\");
  EXPECT_EQ(Read(Temp() + "_Orvane3d1"), BytesOf("theirs"));
  EXPECT_EQ(List(Temp() + "_Orvane3d2\\"), std::vector<std::string>{"INSTALL.EXE"});
  EXPECT_EQ(Read(Temp() + "_Orvane3d2\\INSTALL.EXE"), BytesOf("MZ theirs"));
  EXPECT_FALSE(IsOwnStagingDir((Temp() + "_Orvane3d2\\").c_str()));
  // A second choice passes over the first one's directory and lets it go.
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d5\\");
  EXPECT_FALSE(IsOwnStagingDir((Temp() + "_Orvane3d3\\").c_str()));
  EXPECT_TRUE(IsOwnStagingDir((Temp() + "_Orvane3d5\\").c_str()));
}
