// Path helpers on a steered platform, so on the stand-in only: a module path
// of our choosing (a 300-character one too), a temporary directory that is
// missing, too long or on a CD-ROM drive, the shared c:\temp\ fallback
// full or impossible to create, directories that cannot be made, and more
// names taken than a test could make. None of this can be arranged on the
// real platform without touching the machine's own c:\temp\ or drives.
#include <filesystem>

#include "paths_fixture.h"

using SteeredPaths = PathsTest;

TEST_F(SteeredPaths, ModuleDirectoryKeepsTheBackslash) {
  EXPECT_EQ(Directory(), "d:\\");
  SetModule("e:\\DISK1\\START.EXE");
  EXPECT_EQ(Directory(), "e:\\DISK1\\");
  std::string longest = "d:\\" + std::string(240, 'M') + "\\SETUP.EXE";
  longest.resize(255);
  SetModule(longest);
  EXPECT_EQ(Directory(), "d:\\" + std::string(240, 'M') + "\\");
}

// Mended: a module path that does not fit 255 characters is not kept cut;
// the directory is then empty.
TEST_F(SteeredPaths, ModulePathTooLongGivesNoDirectory) {
  SetModule("d:\\" + std::string(250, 'M') + "\\SETUP.EXE");
  EXPECT_EQ(Directory(), "");
}

TEST_F(SteeredPaths, TempFileNameTakesTheSystemsNumberAndLeavesCTempAlone) {
  EXPECT_EQ(TempName(), "c:\\windows\\temp\\INS1a.tmp");
  EXPECT_FALSE(Exists("c:\\temp\\"));
}

TEST_F(SteeredPaths, TemporaryPathOnACdRomFallsBackToCTempWhichIsCreated) {
  MapDrive('e', scratch_.File("e"));
  MakeDir("e:\\temp\\");
  Standin().DriveTypes['e'] = DRIVE_CDROM;
  Standin().TempPath = "e:\\temp\\";
  ASSERT_FALSE(Exists("c:\\temp\\"));
  EXPECT_EQ(TempName(), "c:\\temp\\QTX0.tmp");
  EXPECT_TRUE(IsDir("c:\\temp\\"));
  EXPECT_EQ(List("c:\\temp\\"), std::vector<std::string>{"QTX0.tmp"});
  EXPECT_TRUE(Read("c:\\temp\\QTX0.tmp").empty());
  EXPECT_EQ(List("e:\\temp\\"), std::vector<std::string>{});
}

// Mended: a temporary path too long for its 260-byte buffer counts as
// missing, like a failing GetTempPathA or a directory that is not there.
TEST_F(SteeredPaths, TemporaryPathMissingFailingOrTooLongFallsBackToCTemp) {
  for (const std::string& temp :
       {std::string("c:\\nowhere\\"), std::string(), "c:\\" + std::string(257, 'T') + "\\"}) {
    Restart();
    Standin().TempPath = temp;
    EXPECT_EQ(TempName(), "c:\\temp\\QTX0.tmp") << temp;
  }
}

TEST_F(SteeredPaths, QtxNamesTakenAreSkipped) {
  MakeDir("c:\\temp\\");
  MakeFile("c:\\temp\\QTX0.tmp", BytesOf("keep"));
  MakeFile("c:\\temp\\QTX1.tmp", BytesOf("keep"));
  Standin().DriveTypes['c'] = DRIVE_CDROM;
  EXPECT_EQ(TempName(), "c:\\temp\\QTX2.tmp");
  EXPECT_TRUE(Exists("c:\\temp\\QTX2.tmp"));
  EXPECT_EQ(Read("c:\\temp\\QTX0.tmp"), BytesOf("keep"));
}

// Mended: the probe file is created only where no name exists. A link at
// QTX0.tmp, to a file or to nothing, is passed over and what it points to
// neither created nor cut; so is a file that appears between the look and
// the creation.
TEST_F(SteeredPaths, QtxNamesThatAreLinksOrAppearLateAreNeverOpened) {
  MakeDir("c:\\temp\\");
  MakeFile("c:\\theirs.txt", BytesOf("keep"));
  std::filesystem::create_symlink(Host("c:\\theirs.txt"), Host("c:\\temp\\QTX0.tmp"));
  std::filesystem::create_symlink(Host("c:\\nowhere.txt"), Host("c:\\temp\\QTX1.tmp"));
  Standin().BeforeCall = [](const std::string& call, const std::string& path) {
    if (call == "CreateFileA" && path == "c:\\temp\\QTX2.tmp") MakeFile(path, BytesOf("late"));
  };
  Standin().DriveTypes['c'] = DRIVE_CDROM;
  EXPECT_EQ(TempName(), "c:\\temp\\QTX3.tmp");
  EXPECT_EQ(Read("c:\\theirs.txt"), BytesOf("keep"));
  EXPECT_FALSE(Exists("c:\\nowhere.txt"));
  EXPECT_EQ(Read("c:\\temp\\QTX2.tmp"), BytesOf("late"));
  EXPECT_TRUE(Read("c:\\temp\\QTX3.tmp").empty());
}

TEST_F(SteeredPaths, AllQtxNamesTakenGoesToTheLastResort) {
  MakeDir("c:\\temp\\");
  Standin().TempPath = "c:\\nowhere\\";
  Standin().AlsoExists = [](const std::string& p) { return p.rfind("c:\\temp\\QTX", 0) == 0; };
  EXPECT_EQ(TempName(), "TMP1.$$$");
  EXPECT_EQ(List("c:\\temp\\"), std::vector<std::string>{});
}

TEST_F(SteeredPaths, CTempThatCannotBeCreatedGivesLastResortNamesCountingOn) {
  Standin().TempPath = "c:\\nowhere\\";
  Standin().FailingDirectories.insert("c:\\temp");
  EXPECT_EQ(TempName(), "TMP1.$$$");
  EXPECT_EQ(TempName(), "TMP2.$$$");
  EXPECT_FALSE(Exists("c:\\temp\\"));
  EXPECT_FALSE(Exists("c:\\work\\TMP1.$$$"));  // no file is made
  EXPECT_FALSE(Exists("c:\\work\\TMP2.$$$"));
  EXPECT_EQ(Standin().CreatedDirectories, (std::vector<std::string>{"c:\\temp\\", "c:\\temp\\"}));
}

TEST_F(SteeredPaths, LastResortSkipsNamesThatExistAndPrefixIsIgnored) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  MakeFile("c:\\work\\TMP1.$$$");
  MakeFile("c:\\work\\TMP2.$$$");
  EXPECT_EQ(TempName("ABC"), "TMP3.$$$");
  EXPECT_EQ(LastResortCounter, 3);
}

TEST_F(SteeredPaths, LastResortCounterWrapsFrom65535To1) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  LastResortCounter = 65534;
  EXPECT_EQ(TempName(), "TMP65535.$$$");
  EXPECT_EQ(TempName(), "TMP1.$$$");
}

// Mended: when every last-resort name exists the search ends after 65,535
// names with an empty name, instead of looping for ever.
TEST_F(SteeredPaths, LastResortSearchStopsAfter65535Names) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  int asked = 0;
  Standin().AlsoExists = [&asked](const std::string& p) {
    if (p.rfind("TMP", 0) != 0) return false;
    ++asked;
    return true;
  };
  EXPECT_EQ(TempName(), "");
  EXPECT_EQ(asked, 65535);
  EXPECT_EQ(StagingRoot(), "");
}

// Mended: a name from the system that does not fit the 256-byte buffer is
// refused; its file does not stay behind. Like any failed call in an
// existing temporary directory, it sends staging to the c:\temp\ fallback.
TEST_F(SteeredPaths, SystemTempNameTooLongForTheBufferIsRefused) {
  std::string dir = "c:\\" + std::string(100, 'a') + "\\" + std::string(141, 'b') + "\\";
  ASSERT_EQ(dir.size(), 246u);
  MakeDir(dir);
  Standin().TempPath = dir;
  Standin().NextTempUnique = 0x1A2B;  // 246 + INS1a2b.tmp = 257 characters
  EXPECT_EQ(TempName(), "c:\\temp\\QTX0.tmp");
  EXPECT_EQ(List(dir), std::vector<std::string>{});
  Standin().NextTempUnique = 0x1A;  // 255 characters: fits
  EXPECT_EQ(TempName(), dir + "INS1a.tmp");
}

TEST_F(SteeredPaths, MakePathStopsAtTheFirstDirectoryThatCannotBeMade) {
  Standin().FailingDirectories.insert("c:\\a\\b");
  EXPECT_FALSE(MakePath("c:\\A\\B\\C\\D.EXE"));
  EXPECT_TRUE(IsDir("c:\\A"));  // made before the failure: stays
  EXPECT_FALSE(Exists("c:\\A\\B\\C"));
}

TEST_F(SteeredPaths, FindStagingRootOnTheCTempFallback) {
  Standin().DriveTypes['c'] = DRIVE_CDROM;
  EXPECT_EQ(StagingRoot(), "c:\\temp\\");
  EXPECT_EQ(List("c:\\temp\\"), std::vector<std::string>{});
}

TEST_F(SteeredPaths, FindStagingRootOfALastResortNameIsEmptyAndDeletesNothing) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  MakeFile("c:\\work\\TMP2.$$$", BytesOf("user's"));
  EXPECT_EQ(StagingRoot(), "");
  EXPECT_EQ(Read("c:\\work\\TMP2.$$$"), BytesOf("user's"));
}

// Mended: with all 32,000 names taken the name is that of 32,000, but that
// directory is someone else's and never the run's own (extraction then
// writes nothing; see extract_steered_test.cpp).
TEST_F(SteeredPaths, ChooseStagingDirWithAll32000TakenCreatesNone) {
  int asked = 0;
  Standin().AlsoExists = [&asked](const std::string& p) {
    if (p.rfind("c:\\windows\\temp\\_Orvane3d", 0) != 0) return false;
    ++asked;
    return true;
  };
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d32000\\");
  EXPECT_EQ(asked, 32000);
  EXPECT_FALSE(IsOwnStagingDir("c:\\windows\\temp\\_Orvane3d32000\\"));
}

// Mended: only a name that exists is passed over. Any other failure would
// fail for every number: the search ends at that number, whose directory is
// then not the run's own (the box names it).
TEST_F(SteeredPaths, ChooseStagingDirStopsAtAFailureOtherThanATakenName) {
  MakeFile("c:\\windows\\temp\\_Orvane3d1");
  Standin().FailingDirectories.insert("c:\\windows\\temp\\_orvane3d2");  // access denied
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d2\\");
  EXPECT_FALSE(IsOwnStagingDir("c:\\windows\\temp\\_Orvane3d2\\"));
  EXPECT_EQ(Standin().CreatedDirectories,
            (std::vector<std::string>{"c:\\windows\\temp\\_Orvane3d1", "c:\\windows\\temp\\_Orvane3d2"}));
}

TEST_F(SteeredPaths, ChooseStagingDirRelativeToTheCurrentDirectory) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  MakeDir("c:\\work\\_Orvane3d1\\");
  ChooseStagingDir();
  EXPECT_STREQ(StagingDirName.c_str(), "_Orvane3d2\\");
}
