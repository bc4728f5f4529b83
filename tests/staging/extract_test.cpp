// Extraction end to end against the stand-in: SETUP.TMP beside d:\SETUP.EXE,
// staging below c:\windows\temp\, the message box, the hand-off.
#include "container.h"
#include "extract.h"
#include "members.h"
#include "standin_fixture.h"

namespace {

const char STAGING[] = "c:\\windows\\temp\\_Orvane3d1\\";
const char ERROR_TEXT[] = "Fehler beim Decodieren!";
HWND const WINDOW = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(692));

class Extract : public StandinTest {
 protected:
  Bytes Member(const Bytes& data) { return EncodeBytes(scratch_, data); }
  Bytes Member(const std::string& text) { return Member(BytesOf(text)); }
  static Bytes BadMember() {  // a wrong magic
    HeaderFields h;
    h.Magic = 0x12345678;
    return MakeMember(h, {});
  }

  void WriteArchive(const Bytes& container) { MakeFile("d:\\SETUP.TMP", container); }

  bool Run(HWND window = WINDOW) {
    ChooseStagingDir();
    return ExtractArchive(window);
  }

  // Stages into _Orvane3d1 even when it exists already (ChooseStagingDir
  // would pass it by).
  bool RunInExisting(HWND window = WINDOW) {
    StagingDirName = "_Orvane3d1\\";
    return ExtractArchive(window);
  }

  static std::string Staged(const std::string& name) { return std::string(STAGING) + name; }

  // The hand-off ran: Install.ini written, the installer start attempted.
  void ExpectHandOff(const std::string& medium = "d:\\") {
    EXPECT_EQ(ReadText(Staged("Install.ini")), "[STANDARD]\r\nINST_PATH=" + medium + "\r\n");
    ASSERT_EQ(Standin().Started.size(), 1u);
    EXPECT_EQ(Standin().Started[0].CommandLine, Staged("INSTALL.EXE") + " 692");
    EXPECT_EQ(Standin().Started[0].Show, 1u);
  }

  void ExpectOneFailure(const std::string& caption) {
    ASSERT_EQ(Standin().Messages.size(), 1u);
    const ShownMessage& m = Standin().Messages[0];
    EXPECT_EQ(m.Owner, nullptr);
    EXPECT_EQ(m.Text, ERROR_TEXT);
    EXPECT_EQ(m.Caption, caption);
    EXPECT_EQ(m.Type, 0u);
    EXPECT_EQ(m.Language, 0);
  }
};

}  // namespace

TEST_F(Extract, EveryMemberWrittenThenInstallIniAndTheInstallerStart) {
  Bytes data = RandomBytes(50000, 7);
  WriteArchive(MakeContainer({{"INSTALL.EXE", Member("MZ installer")},
                              {"DATA.BIN", Member(data)},
                              {"readme.txt", Member("Hallo")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(InstallerPath.c_str(), Staged("INSTALL.EXE"));
  EXPECT_EQ(Read(Staged("INSTALL.EXE")), BytesOf("MZ installer"));
  EXPECT_EQ(Read(Staged("DATA.BIN")), data);
  EXPECT_EQ(Read(Staged("readme.txt")), BytesOf("Hallo"));
  EXPECT_TRUE(Standin().Messages.empty());
  ExpectHandOff();
  EXPECT_EQ(Standin().CurrentCursor, StandinWaitCursor());
  // FindStagingRoot's temporary files are gone again.
  EXPECT_EQ(List("c:\\windows\\temp\\"), std::vector<std::string>{"_Orvane3d1"});
  EXPECT_EQ(List(STAGING),
            (std::vector<std::string>{"DATA.BIN", "INSTALL.EXE", "Install.ini", "readme.txt"}));
}

TEST_F(Extract, MemberKeepsItsModificationTime) {
  LocalTime when{2021, 6, 15, 10, 20, 30};
  Bytes member = EncodeBytes(scratch_, BytesOf("dated"), &when);
  WriteArchive(MakeContainer({{"A.TXT", member}}));
  EXPECT_TRUE(Run());
  LocalTime got;
  ASSERT_TRUE(GetLocalWriteTime(Host(Staged("A.TXT")), got));
  EXPECT_EQ(got, when);
}

TEST_F(Extract, CountZeroWritesNoMemberButHandsOff) {
  WriteArchive(MakeContainer(0, {{"A.TXT", Member("a")}}));
  EXPECT_TRUE(Run());
  EXPECT_FALSE(Exists(Staged("A.TXT")));
  EXPECT_TRUE(Standin().Messages.empty());
  ExpectHandOff();
}

TEST_F(Extract, CountsWithTheTopBitSetMeanNoEntries) {
  for (std::uint16_t count : {0x8000, 0xFFFF, 0x8001}) {
    SCOPED_TRACE(count);
    Restart();
    WriteArchive(MakeContainer(count, {{"A.TXT", Member("a")}}));
    EXPECT_TRUE(Run());
    EXPECT_FALSE(Exists(Staged("A.TXT")));
    EXPECT_TRUE(Standin().Messages.empty());
    ExpectHandOff();
  }
}

TEST_F(Extract, ADuplicateNameReplacesTheEarlierFile) {
  WriteArchive(MakeContainer({{"A.TXT", Member("first, longer")}, {"A.TXT", Member("second")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("second"));
}

TEST_F(Extract, AZeroByteCutsTheNameAndTheRestIsSkipped) {
  WriteArchive(MakeContainer({{std::string("A.TXT\0JUNK", 10), Member("a")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));
  EXPECT_EQ(Read(Staged("B.TXT")), BytesOf("b"));
  EXPECT_TRUE(Standin().Messages.empty());
}

TEST_F(Extract, AnEmptyNameFailsWithTheStagingDirectoryAsCaption) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}, {"", Member("x")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(STAGING);
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));  // earlier members stay
  EXPECT_FALSE(Exists(Staged("B.TXT")));            // later ones are not read
  ExpectHandOff();
}

TEST_F(Extract, AnEmptyMemberGivesAnEmptyFileAndGoesOn) {
  Bytes empty = MakeMember(Bytes{}, 0);
  ASSERT_EQ(empty.size(), 36u);
  WriteArchive(MakeContainer({{"EMPTY.DAT", empty}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  EXPECT_TRUE(Exists(Staged("EMPTY.DAT")));
  EXPECT_TRUE(Read(Staged("EMPTY.DAT")).empty());
  EXPECT_EQ(Read(Staged("B.TXT")), BytesOf("b"));
  EXPECT_TRUE(Standin().Messages.empty());
}

TEST_F(Extract, AMissingArchiveIsFalseQuietAndLeavesAnEmptyStagingDirectory) {
  EXPECT_FALSE(Run());
  EXPECT_TRUE(IsDir(STAGING));
  EXPECT_EQ(List(STAGING), std::vector<std::string>{});
  EXPECT_TRUE(Standin().Messages.empty());
  EXPECT_TRUE(Standin().Started.empty());
  EXPECT_EQ(InstallerPath.c_str(), Staged("INSTALL.EXE"));
}

TEST_F(Extract, AFailureAtTheFirstMemberStillHandsOff) {
  WriteArchive(MakeContainer({{"INSTALL.EXE", BadMember()}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("INSTALL.EXE"));
  EXPECT_FALSE(Exists(Staged("B.TXT")));
  ExpectHandOff();
}

TEST_F(Extract, AMemberCutShortFailsAndKeepsWhatWasWritten) {
  Bytes member = Member(RandomBytes(5000, 3));
  member.resize(member.size() - 1);
  WriteArchive(MakeContainer({{"A.BIN", member}}));
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("A.BIN"));
  EXPECT_TRUE(Exists(Staged("A.BIN")));
}

TEST_F(Extract, TheMediumDirectoryComesFromTheModulePath) {
  SetModule("e:\\DISK1\\SETUP.EXE");
  MapDrive('e', scratch_.File("e"));
  MakeDir("e:\\DISK1\\");
  MakeFile("e:\\DISK1\\SETUP.TMP", MakeContainer({{"A.TXT", Member("a")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));
  ExpectHandOff("e:\\DISK1\\");
}

TEST_F(Extract, AWindowHandleWithItsTopBitSetIsUnsigned) {
  WriteArchive(MakeContainer({}));
  EXPECT_TRUE(Run(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFFFFFEu))));
  ASSERT_EQ(Standin().Started.size(), 1u);
  EXPECT_EQ(Standin().Started[0].CommandLine, Staged("INSTALL.EXE") + " 4294967294");
}

TEST_F(Extract, StagingRelativeToTheCurrentDirectory) {
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
class RefusedName : public Extract, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedName, FailsLikeAMemberAndWritesNothing) {
  std::string name = GetParam();
  MakeDir(Staged("SUB\\"));
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}, {name, Member("evil")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(RunInExisting());
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

TEST_F(Extract, NamesWithDotsThatStayInsideAreWritten) {
  WriteArchive(MakeContainer({{".hidden", Member("h")}, {"a..b", Member("ab")}, {"X.", Member("x")},
                              {"NULL.TXT", Member("n")}, {"COM10", Member("c")}}));
  EXPECT_TRUE(Run());
  EXPECT_TRUE(Standin().Messages.empty());
  EXPECT_EQ(Read(Staged(".hidden")), BytesOf("h"));
  EXPECT_EQ(Read(Staged("a..b")), BytesOf("ab"));
  EXPECT_EQ(Read(Staged("NULL.TXT")), BytesOf("n"));
  EXPECT_EQ(Read(Staged("COM10")), BytesOf("c"));
}

// Mended: an output path longer than 255 characters fails like a member.
TEST_F(Extract, AnOutputPathThatDoesNotFitFailsLikeAMember) {
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
TEST_F(Extract, NoModuleDirectoryMeansNoArchive) {
  MakeFile("c:\\work\\SETUP.TMP", MakeContainer({}));
  SetModule("d:\\" + std::string(300, 'M') + "\\SETUP.EXE");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Standin().Started.empty());
  EXPECT_TRUE(Standin().Messages.empty());
}

// Mended: an archive path that does not fit 256 bytes is a missing archive.
TEST_F(Extract, AnArchivePathThatDoesNotFitIsAMissingArchive) {
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

// Mended: a container cut short.
TEST_F(Extract, AnEmptyOrOneByteContainerCountsAsNoEntries) {
  for (const Bytes& container : {Bytes{}, Bytes{0x05}}) {
    Restart();
    WriteArchive(container);
    EXPECT_TRUE(Run());
    EXPECT_TRUE(Standin().Messages.empty());
    ExpectHandOff();
  }
}

TEST_F(Extract, ANameLengthCutShortCountsAsAnEmptyName) {
  WriteArchive(Bytes{0x02, 0x00, 0x41});  // two entries, one byte of a length
  EXPECT_TRUE(Run());
  ExpectOneFailure(STAGING);
  ExpectHandOff();
}

TEST_F(Extract, NameBytesCutShortEndTheName) {
  WriteArchive(Bytes{0x01, 0x00, 0x0A, 0x00, 'A', 'B', 'C'});
  EXPECT_TRUE(Run());
  ExpectOneFailure(Staged("ABC"));
  ExpectHandOff();
}
