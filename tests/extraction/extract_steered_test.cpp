// Extraction on a steered platform, so on the stand-in only: members that
// fail (the message box would wait for a user on the real platform), a
// module path of our choosing (one too long for its buffer among them), a
// missing temporary directory, and what only the stand-in records: the
// message box's fields, the wait cursor, the installer's command line.
#include <filesystem>

#include "extract_fixture.h"
#include "worker_thread.h"

namespace {

const char STAGING[] = "c:\\windows\\temp\\_Orvane3d1\\";
const char ERROR_TEXT[] = "Fehler beim Decodieren!";
const char FAILED_TITLE[] = "Installation nicht m\xC3\xB6glich";

class SteeredExtract : public Extract {
 protected:
  static Bytes BadMember() {  // a wrong magic
    HeaderFields h;
    h.Magic = 0x12345678;
    return MakeMember(h, {});
  }

  // The box for no safe staging directory: its sentence and the path, under
  // the title that says the run failed, which the window takes too.
  void ExpectNoStagingBox(const std::string& path) {
    ASSERT_EQ(Standin().Messages.size(), 1u);
    const ShownMessage& m = Standin().Messages[0];
    EXPECT_EQ(m.Owner, nullptr);
    EXPECT_EQ(m.Text,
              "F\xC3\xBCr die Installation konnte kein sicheres Verzeichnis angelegt werden:\n" + path);
    EXPECT_EQ(m.Caption, FAILED_TITLE);
    EXPECT_EQ(Standin().WindowTitle, FAILED_TITLE);
  }

  void ExpectOneFailure(const std::string& caption) {
    ASSERT_EQ(Standin().Messages.size(), 1u);
    const ShownMessage& m = Standin().Messages[0];
    EXPECT_EQ(m.Owner, nullptr);
    EXPECT_EQ(m.Text, ERROR_TEXT);
    EXPECT_EQ(m.Caption, AnsiAsShown(caption));
    EXPECT_EQ(m.Type, 0u);
    EXPECT_EQ(m.Language, 0);
  }
};

}  // namespace

TEST_F(SteeredExtract, EveryMemberWrittenThenInstallIniAndTheInstallerStart) {
  Bytes data = RandomBytes(50000, 7);
  WriteArchive(MakeContainer({{"INSTALL.EXE", Member("MZ installer")},
                              {"DATA.BIN", Member(data)},
                              {"readme.txt", Member("Hallo")}}));
  EXPECT_TRUE(Run());
  EXPECT_STREQ(InstallerPath.c_str(), Staged("INSTALL.EXE").c_str());
  EXPECT_EQ(Read(Staged("INSTALL.EXE")), BytesOf("MZ installer"));
  EXPECT_EQ(Read(Staged("DATA.BIN")), data);
  EXPECT_EQ(Read(Staged("readme.txt")), BytesOf("Hallo"));
  EXPECT_TRUE(Standin().Messages.empty());
  ExpectHandOff();
  EXPECT_EQ(Standin().Started[0].Show, 1u);  // SW_SHOWNORMAL
  EXPECT_EQ(Standin().CurrentCursor, StandinWaitCursor());
  // FindStagingRoot's temporary files are gone again.
  EXPECT_EQ(List("c:\\windows\\temp\\"), std::vector<std::string>{"_Orvane3d1"});
  EXPECT_EQ(List(STAGING),
            (std::vector<std::string>{"DATA.BIN", "INSTALL.EXE", "Install.ini", "readme.txt"}));
}

TEST_F(SteeredExtract, AnEmptyNameFailsWithTheStagingDirectoryAsCaption) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}, {"", Member("x")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(STAGING);
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));  // earlier members stay
  EXPECT_FALSE(Exists(Staged("B.TXT")));           // later ones are not read
  ExpectHandOff();
}

TEST_F(SteeredExtract, AFailureAtTheFirstMemberStillHandsOff) {
  WriteArchive(MakeContainer({{"INSTALL.EXE", BadMember()}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("INSTALL.EXE"));
  EXPECT_FALSE(Exists(Staged("B.TXT")));
  ExpectHandOff();
}

TEST_F(SteeredExtract, AMemberCutShortFailsAndKeepsWhatWasWritten) {
  Bytes member = Member(RandomBytes(5000, 3));
  member.resize(member.size() - 1);
  WriteArchive(MakeContainer({{"A.BIN", member}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("A.BIN"));
  EXPECT_TRUE(Exists(Staged("A.BIN")));
}

// Bound: a member that fails is told only once SETUP.TMP proved to be the
// one bound, after it was read to its end; with another, nothing is told
// here (the caller's box names SETUP.TMP) and nothing starts. Mended: with
// its own container nothing starts either (the installer would run without
// the members behind the failing one): what the run unpacked is gone
// before the member's box.
TEST_F(SteeredExtract, ABoundRunTellsAFailingMemberOnlyOfItsOwnContainer) {
  const Bytes own = MakeContainer(
      {{"INSTALL.EXE", Member("MZ installer")}, {"BAD.BIN", BadMember()}, {"LATER.BIN", Member("later")}});
  BindTo(own);
  WriteArchive(own);
  EXPECT_FALSE(Run());
  ExpectOneFailure(Staged("BAD.BIN"));
  EXPECT_EQ(result_, ExtractResult::BoundMemberFailed);
  EXPECT_TRUE(Standin().Started.empty());
  EXPECT_EQ(List("c:\\windows\\temp\\"), std::vector<std::string>{});

  Restart();
  Bytes other = own;
  other.push_back(0);
  WriteArchive(other);
  EXPECT_FALSE(Run());
  EXPECT_EQ(result_, ExtractResult::ContainerMismatch);
  EXPECT_TRUE(Standin().Messages.empty());
  EXPECT_TRUE(Standin().Started.empty());
}

// Mended: before each member the staging directory is looked at anew. One
// that another took the place of between two members gets nothing more:
// the box names it, nothing starts, and nothing is deleted through the path.
TEST_F(SteeredExtract, AStagingDirectorySwappedBetweenMembersGetsNothingMore) {
  WriteArchive(MakeContainer({{"A.BIN", Member("a")}, {"INSTALL.EXE", Member("MZ ours")}}));
  const std::string own = "c:\\windows\\temp\\_Orvane3d1";
  Standin().BeforeCall = [&](const std::string& call, const std::string& path) {
    // The look before the second member.
    if (call != "CreateFileA" || path != own || !Exists(Staged("A.BIN")) || Exists("c:\\moved")) return;
    std::filesystem::rename(HostPath(own), HostPath("c:\\moved"));
    MakeDir(STAGING);
    MakeFile(Staged("THEIRS.DAT"), BytesOf("theirs"));
  };
  EXPECT_FALSE(Run());
  EXPECT_EQ(result_, ExtractResult::StagingRefused);
  ExpectNoStagingBox(STAGING);
  EXPECT_TRUE(Standin().Started.empty());
  EXPECT_EQ(List(STAGING), std::vector<std::string>{"THEIRS.DAT"});
  EXPECT_EQ(List("c:\\moved\\"), std::vector<std::string>{"A.BIN"});
}

// Mended: where nobody can answer a box (a window station that is not
// visible: a service, a deployment's session), none is shown; the run goes
// on as after the box's OK.
TEST_F(SteeredExtract, NoBoxWhereNobodyCanAnswerIt) {
  Standin().WindowStationVisible = false;
  WriteArchive(MakeContainer({{"INSTALL.EXE", Member("MZ installer")}, {"BAD.BIN", BadMember()}}));
  EXPECT_TRUE(Run());
  EXPECT_TRUE(Standin().Messages.empty());
  ExpectHandOff();
  Restart();
  Standin().WindowStationVisible = false;
  Standin().TokenFails = true;
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Standin().Messages.empty());
  EXPECT_EQ(Standin().WindowTitle, FAILED_TITLE);
}

TEST_F(SteeredExtract, TheMediumDirectoryComesFromTheModulePath) {
  SetModule("e:\\DISK1\\SETUP.EXE");
  MapDrive('e', scratch_.File("e"));
  MakeDir("e:\\DISK1\\");
  MakeFile("e:\\DISK1\\SETUP.TMP", MakeContainer({{"A.TXT", Member("a")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));
  ExpectHandOff("e:\\DISK1\\");
}

TEST_F(SteeredExtract, AWindowHandleWithItsTopBitSetIsUnsigned) {
  WriteArchive(MakeContainer({}));
  EXPECT_TRUE(Run(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFFFFFEu))));
  ASSERT_EQ(Standin().Started.size(), 1u);
  EXPECT_EQ(Standin().Started[0].CommandLine, Staged("INSTALL.EXE") + " 4294967294");
}

TEST_F(SteeredExtract, StagingRelativeToTheCurrentDirectory) {
  Standin().TempPath = "";
  Standin().FailingDirectories.insert("c:\\temp");
  WriteArchive(MakeContainer({{"INSTALL.EXE", Member("MZ")}}));
  EXPECT_TRUE(Run());
  EXPECT_STREQ(InstallerPath.c_str(), "_Orvane3d1\\INSTALL.EXE");
  EXPECT_EQ(Read("c:\\work\\_Orvane3d1\\INSTALL.EXE"), BytesOf("MZ"));
  EXPECT_EQ(ReadText("c:\\work\\_Orvane3d1\\Install.ini"), "[STANDARD]\r\nINST_PATH=d:\\\r\n");
  ASSERT_EQ(Standin().Started.size(), 1u);
  EXPECT_EQ(Standin().Started[0].CommandLine, "_Orvane3d1\\INSTALL.EXE 692");
}

// Mended: a name that is no plain file name of the staging directory (a
// path, a drive or stream, dots and blanks, a device) is refused like a
// member that fails, with the would-be output path as caption, even where a
// subdirectory of that name exists.
class RefusedName : public SteeredExtract, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedName, FailsLikeAMemberAndWritesNothing) {
  std::string name = GetParam();
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}, {name, Member("evil")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(RunPrepared([this] { MakeDir(Staged("SUB\\")); }));
  ExpectOneFailure(Staged(name));
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));
  EXPECT_FALSE(Exists(Staged("B.TXT")));
  ExpectHandOff();
  // The staging directory holds what it held before, the first member and
  // Install.ini; nothing named EVIL anywhere on c: or d:.
  EXPECT_EQ(List(STAGING), (std::vector<std::string>{"A.TXT", "Install.ini", "SUB"}));
  EXPECT_TRUE(List(Staged("SUB\\")).empty());
  for (const char* root : {"c", "d"})
    for (const auto& e : std::filesystem::recursive_directory_iterator(scratch_.File(root)))
      EXPECT_EQ(e.path().filename().string().find("EVIL"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(OutsideTheDirectory, RefusedName,
                         ::testing::Values("\\EVIL.TXT", "/EVIL.TXT", "c:\\EVIL.TXT", "c:EVIL.TXT",
                                           "d:EVIL.TXT", "..\\EVIL.TXT", "../EVIL.TXT",
                                           "SUB\\..\\..\\EVIL.TXT", "SUB\\..", "..", "...\\EVIL.TXT",
                                           ".. \\EVIL.TXT", "SUB/../../EVIL.TXT",
                                           "\\\\server\\share\\EVIL.TXT", "EVIL.TXT:stream"));
INSTANTIATE_TEST_SUITE_P(SubdirectoriesAndDots, RefusedName,
                         ::testing::Values("SUB\\EVIL.TXT", "SUB/EVIL.TXT", "SUB\\.\\EVIL.TXT", ".", "...",
                                           " ", ". .", ".. "));
INSTANTIATE_TEST_SUITE_P(Devices, RefusedName,
                         ::testing::Values("NUL", "nul", "NUL.TXT", "nul .txt", "CON", "Aux", "PRN.LOG",
                                           "COM1", "com9.txt", "LPT1", "lpt5.dat", "CONIN$", "conout$"));

// Mended: an output path longer than 255 characters fails like a member.
TEST_F(SteeredExtract, AnOutputPathThatDoesNotFitFailsLikeAMember) {
  std::string fits(255 - std::string(STAGING).size(), 'n');
  std::string tooLong = fits + "n";
  WriteArchive(MakeContainer({{fits, Member("fits")}, {tooLong, Member("too long")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged(fits)), BytesOf("fits"));
  ExpectOneFailure(Staged(tooLong));
  EXPECT_FALSE(Exists(Staged(tooLong)));
  ExpectHandOff();
}

// Mended: with a module path that did not fit, SETUP.TMP is not looked for
// (not even in the current directory): false, quietly.
TEST_F(SteeredExtract, NoModuleDirectoryMeansNoArchive) {
  MakeFile("c:\\work\\SETUP.TMP", MakeContainer({}));
  SetModule("d:\\" + std::string(300, 'M') + "\\SETUP.EXE");
  EXPECT_FALSE(Run());
  EXPECT_EQ(result_, ExtractResult::ArchiveNotOpened);
  EXPECT_STREQ(ArchivePath.c_str(), "SETUP.TMP");
  EXPECT_TRUE(Standin().Started.empty());
  EXPECT_TRUE(Standin().Messages.empty());
}

// Mended: the extraction tells whether the installer started; a file that
// is missing or no program (on the platform, the start fails) does not.
TEST_F(SteeredExtract, TellsWhetherTheInstallerStarted) {
  const std::pair<std::vector<ContainerEntry>, ExtractResult> cases[] = {
      {{{"INSTALL.EXE", Member("MZ program")}}, ExtractResult::InstallerStarted},
      {{{"INSTALL.EXE", Member("no program")}}, ExtractResult::InstallerNotStarted},
      {{{"SETUP.BIN", Member("MZ program")}}, ExtractResult::InstallerNotStarted}};
  for (const auto& c : cases) {
    Restart();
    WriteArchive(MakeContainer(c.first));
    EXPECT_TRUE(Run());
    EXPECT_EQ(result_, c.second) << c.first[0].Name;
    ExpectHandOff();
  }
}

// Mended: an archive path that does not fit 256 bytes is a missing archive.
TEST_F(SteeredExtract, AnArchivePathThatDoesNotFitIsAMissingArchive) {
  std::string dir = "d:\\" + std::string(240, 'D') + "\\";  // 244 + SETUP.TMP = 253: fits
  MakeDir(dir);
  MakeFile(dir + "SETUP.TMP", MakeContainer({}));
  SetModule(dir + "SETUP.EXE");
  EXPECT_TRUE(Run());
  Restart();
  dir = "d:\\" + std::string(244, 'D') + "\\";  // 248 + SETUP.TMP = 257
  MakeDir(dir);
  MakeFile(dir + "SETUP.TMP", MakeContainer({}));
  SetModule(dir + "S.EXE");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Standin().Started.empty());
}

TEST_F(SteeredExtract, ANameLengthCutShortCountsAsAnEmptyName) {
  WriteArchive(Bytes{0x02, 0x00, 0x41});  // two entries, one byte of a length
  EXPECT_TRUE(Run());
  ExpectOneFailure(STAGING);
  ExpectHandOff();
}

TEST_F(SteeredExtract, NameBytesCutShortEndTheName) {
  WriteArchive(Bytes{0x01, 0x00, 0x0A, 0x00, 'A', 'B', 'C'});
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("ABC"));
  ExpectHandOff();
}

// Mended: members, Install.ini and the installer go only into the directory
// this run created. Where there is none, the box for no safe staging
// directory names the directory that could not be had, before and instead of the look for
// SETUP.TMP; nothing is read, written or started, and the result is false.
class NoOwnStagingDir : public SteeredExtract {
 protected:
  void ExpectNothingDone(const std::string& caption) {
    ExpectNoStagingBox(caption);
    EXPECT_TRUE(Standin().Started.empty());
    EXPECT_STREQ(InstallerPath.c_str(), (caption + "INSTALL.EXE").c_str());
    for (const char* root : {"c", "d"})
      for (const auto& e : std::filesystem::recursive_directory_iterator(scratch_.File(root)))
        EXPECT_TRUE(e.path().filename() != "Install.ini" && e.path().filename() != "A.TXT") << e.path();
  }
};

TEST_F(NoOwnStagingDir, AllNumbersTakenShowsTheBoxForTheLastOne) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}}));
  Standin().AlsoExists = [](const std::string& path) {
    return path.rfind("c:\\windows\\temp\\_Orvane3d", 0) == 0 && path != "c:\\windows\\temp\\_Orvane3d32000";
  };
  MakeDir("c:\\windows\\temp\\_Orvane3d32000\\");
  MakeFile("c:\\windows\\temp\\_Orvane3d32000\\INSTALL.EXE", BytesOf("MZ theirs"));
  EXPECT_FALSE(Run());
  ExpectNothingDone("c:\\windows\\temp\\_Orvane3d32000\\");
  EXPECT_EQ(List("c:\\windows\\temp\\_Orvane3d32000\\"), std::vector<std::string>{"INSTALL.EXE"});
}

TEST_F(NoOwnStagingDir, TheBoxComesAlsoWithoutSetupTmp) {
  Standin().TokenFails = true;
  EXPECT_FALSE(Run());
  ExpectNothingDone("c:\\windows\\temp\\_Orvane3d32000\\");
}

// The stand-in cannot refuse the rename of a held directory as the platform
// does; the check before writing still sees the link put in its place.
TEST_F(NoOwnStagingDir, ADirectoryReplacedByALinkGetsNothing) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}}));
  MakeDir("c:\\elsewhere\\");
  ChooseStagingDir();
  std::filesystem::rename(Host(Staging()), Host("c:\\moved\\"));
  std::filesystem::create_directory_symlink(Host("c:\\elsewhere\\"), Host("c:\\windows\\temp\\_Orvane3d1"));
  EXPECT_EQ(ExtractArchive(Window()), ExtractResult::StagingRefused);
  ExpectNothingDone(STAGING);
  EXPECT_EQ(List("c:\\elsewhere\\"), std::vector<std::string>{});
}

// The temporary location is worked out anew for the extraction; when it is
// another one by then, its directory of the same name is not the run's own.
TEST_F(NoOwnStagingDir, ATemporaryLocationChangedSinceTheChoiceGetsNothing) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}}));
  ChooseStagingDir();
  MakeDir("c:\\other\\_Orvane3d1\\");
  Standin().TempPath = "c:\\other\\";
  EXPECT_EQ(ExtractArchive(Window()), ExtractResult::StagingRefused);
  ExpectNothingDone("c:\\other\\_Orvane3d1\\");
  EXPECT_EQ(List(STAGING), std::vector<std::string>{});
}

// Mended: a second thread only where the process may run on two cores.
TEST_F(SteeredExtract, TheWorkerRunsOnlyWithTwoCoresAllowed) {
  const struct {
    DWORD_PTR Affinity;
    std::vector<DWORD_PTR> Cores;
    bool CoresKnown;
    bool Running;
  } cases[] = {
      {0x3, {0x1, 0x2}, true, true},   // two cores
      {0x1, {0x1, 0x2}, true, false},  // bound to one processor
      {0x3, {0x3}, true, false},       // two logical processors of one core
      {0x5, {0x3, 0xC}, true, true},   // one of each of two such cores
      {0x3, {0x3}, false, true},       // XP before SP3 cannot tell cores apart
  };
  for (const auto& c : cases) {
    Standin().AffinityMask = c.Affinity;
    Standin().Cores = c.Cores;
    if (c.CoresKnown)
      Standin().Kernel32Exports.insert("GetLogicalProcessorInformation");
    else
      Standin().Kernel32Exports.erase("GetLogicalProcessorInformation");
    WorkerThread worker;
    EXPECT_EQ(worker.Running(), c.Running) << std::hex << c.Affinity;
  }
}
