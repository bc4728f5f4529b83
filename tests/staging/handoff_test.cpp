// The hand-off against the stand-in: Install.ini, TProfile, the command line.
#include "handoff.h"
#include "profile.h"
#include "standin_fixture.h"

namespace {

class Handoff : public StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    StagingDirName = "_Orvane3d1\\";
    MakeDir("c:\\windows\\temp\\_Orvane3d1\\");
    InstallerPath = "c:\\windows\\temp\\_Orvane3d1\\INSTALL.EXE";
  }
  HWND Window(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }
};

}  // namespace

TEST_F(Handoff, WritesInstallIniThenStartsTheInstaller) {
  LaunchInstaller(Window(692), "c:\\windows\\temp\\", "d:\\");
  EXPECT_EQ(ReadText("c:\\windows\\temp\\_Orvane3d1\\Install.ini"), "[STANDARD]\r\nINST_PATH=d:\\\r\n");
  ASSERT_EQ(Standin().Started.size(), 1u);
  EXPECT_EQ(Standin().Started[0].CommandLine, "c:\\windows\\temp\\_Orvane3d1\\INSTALL.EXE 692");
  EXPECT_EQ(Standin().Started[0].Show, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_TRUE(Standin().Messages.empty());
}

TEST_F(Handoff, ReplacesAnExistingInstallIni) {
  MakeFile("c:\\windows\\temp\\_Orvane3d1\\Install.ini",
           BytesOf("[STANDARD]\r\nOTHER=1\r\nINST_PATH=z:\\\r\n[MORE]\r\nA=B\r\n"));
  LaunchInstaller(Window(1), "c:\\windows\\temp\\", "e:\\DISK1\\");
  EXPECT_EQ(ReadText("c:\\windows\\temp\\_Orvane3d1\\Install.ini"),
            "[STANDARD]\r\nINST_PATH=e:\\DISK1\\\r\n");
}

// A handle with its top bit set, or sign-extended to 64 bits, is unsigned.
TEST_F(Handoff, HandlesAreUnsignedDecimalsWithoutLeadingZeros) {
  const std::pair<std::uintptr_t, const char*> cases[] = {
      {0, "0"}, {10, "10"}, {0x7FFFFFFF, "2147483647"}, {0x80000000u, "2147483648"},
      {0xFFFFFFFFu, "4294967295"},
      {static_cast<std::uintptr_t>(0xFFFFFFFF80000000ull), "2147483648"}};  // sign-extended
  for (const auto& c : cases) {
    LaunchInstaller(Window(c.first), "c:\\windows\\temp\\", "d:\\");
    ASSERT_FALSE(Standin().Started.empty());
    EXPECT_EQ(Standin().Started.back().CommandLine,
              std::string("c:\\windows\\temp\\_Orvane3d1\\INSTALL.EXE ") + c.second);
  }
}

TEST_F(Handoff, AnInstallIniThatCannotBeCreatedStillStartsTheInstaller) {
  StagingDirName = "_Orvane3d9\\";  // no such directory
  InstallerPath = "c:\\windows\\temp\\_Orvane3d9\\INSTALL.EXE";
  LaunchInstaller(Window(5), "c:\\windows\\temp\\", "d:\\");
  EXPECT_FALSE(Exists("c:\\windows\\temp\\_Orvane3d9"));
  ASSERT_EQ(Standin().Started.size(), 1u);
  EXPECT_EQ(Standin().Started[0].CommandLine, "c:\\windows\\temp\\_Orvane3d9\\INSTALL.EXE 5");
}

// Mended: only an installer path with a blank is quoted.
TEST_F(Handoff, QuotesOnlyAPathWithABlank) {
  InstallerPath = "c:\\My Temp\\_Orvane3d1\\INSTALL.EXE";
  LaunchInstaller(Window(5), "c:\\windows\\temp\\", "d:\\");
  InstallerPath = "c:\\windows\\temp\\_Orvane3d1\\INSTALL.EXE";
  LaunchInstaller(Window(5), "c:\\windows\\temp\\", "d:\\");
  ASSERT_EQ(Standin().Started.size(), 2u);
  EXPECT_EQ(Standin().Started[0].CommandLine, "\"c:\\My Temp\\_Orvane3d1\\INSTALL.EXE\" 5");
  EXPECT_EQ(Standin().Started[1].CommandLine, "c:\\windows\\temp\\_Orvane3d1\\INSTALL.EXE 5");
}

TEST_F(Handoff, ProfileKeepsTheFullPathOfAnExistingFile) {
  MakeFile("c:\\work\\a.ini");
  TProfile existing("STANDARD", "a.ini");
  EXPECT_STREQ(existing.Section().c_str(), "STANDARD");
  EXPECT_STREQ(existing.FileName().c_str(), "c:\\work\\a.ini");
  TProfile missing("STANDARD", "sub\\b.ini");
  EXPECT_STREQ(missing.FileName().c_str(), "sub\\b.ini");
}

TEST_F(Handoff, ProfileWritesThroughThePlatformWriter) {
  MakeFile("c:\\work\\a.ini");
  TProfile profile("STANDARD", "c:\\work\\a.ini");
  EXPECT_TRUE(profile.WriteEntry("INST_PATH", "d:\\"));
  EXPECT_EQ(ReadText("c:\\work\\a.ini"), "[STANDARD]\r\nINST_PATH=d:\\\r\n");
  TProfile nowhere("STANDARD", "q:\\x.ini");
  EXPECT_FALSE(nowhere.WriteEntry("INST_PATH", "d:\\"));
}

// Mended: a full path that OFSTRUCT cannot hold is never taken cut short;
// the name stays as passed.
TEST_F(Handoff, ProfileNeverTakesACutFullPath) {
  std::string dir = "c:\\work\\" + std::string(120, 'p') + "\\";
  MakeDir(dir);
  MakeFile(dir + "a.ini");
  Standin().CurrentDirectory = dir;
  TProfile profile("STANDARD", "a.ini");
  EXPECT_STREQ(profile.FileName().c_str(), "a.ini");
  std::string longName = dir + "a.ini";
  TProfile full("STANDARD", longName.c_str());
  EXPECT_EQ(full.FileName().c_str(), longName);
}
