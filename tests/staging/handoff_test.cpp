// The hand-off: Install.ini and TProfile on the stand-in and on the real API
// alike; the installer's command line where it can be seen, on the stand-in
// (the real platform would start whatever the line names).
#include "dll_search.h"
#include "handoff.h"
#include "profile.h"
#include "staging_fixture.h"

namespace {

class Handoff : public StagingTest {
 protected:
  void SetUp() override {
    StagingTest::SetUp();
    StagingDirName = "_Orvane3d1\\";
    MakeDir(Staging());
    InstallerPath = (Staging() + "INSTALL.EXE").c_str();
  }
  static HWND Window(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }
  std::string Staging() const { return Temp() + "_Orvane3d1\\"; }
  void Launch(std::uintptr_t window, const char* medium = "d:\\") {
    LaunchInstaller(Window(window), Temp().c_str(), medium);
  }
};

}  // namespace

TEST_F(Handoff, WritesInstallIniThenStartsTheInstaller) {
  Launch(692);
  EXPECT_EQ(ReadText(Staging() + "Install.ini"), "[STANDARD]\r\nINST_PATH=d:\\\r\n");
  if (RecordsCalls()) {
    EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{Staging() + "INSTALL.EXE 692"});
  }
}

TEST_F(Handoff, ReplacesAnExistingInstallIni) {
  MakeFile(Staging() + "Install.ini",
           BytesOf("[STANDARD]\r\nOTHER=1\r\nINST_PATH=z:\\\r\n[MORE]\r\nA=B\r\n"));
  Launch(1, "e:\\DISK1\\");
  EXPECT_EQ(ReadText(Staging() + "Install.ini"), "[STANDARD]\r\nINST_PATH=e:\\DISK1\\\r\n");
}

TEST_F(Handoff, ProfileKeepsTheFullPathOfAnExistingFile) {
  MakeFile(Work() + "a.ini");
  TProfile existing("STANDARD", "a.ini");
  EXPECT_STREQ(existing.Section().c_str(), "STANDARD");
  EXPECT_STREQ(existing.FileName().c_str(), (Work() + "a.ini").c_str());
  TProfile missing("STANDARD", "sub\\b.ini");
  EXPECT_STREQ(missing.FileName().c_str(), "sub\\b.ini");
}

TEST_F(Handoff, ProfileWritesThroughThePlatformWriter) {
  std::string ini = Work() + "a.ini";
  MakeFile(ini);
  TProfile profile("STANDARD", ini.c_str());
  EXPECT_TRUE(profile.WriteEntry("INST_PATH", "d:\\"));
  EXPECT_EQ(ReadText(ini), "[STANDARD]\r\nINST_PATH=d:\\\r\n");
  EXPECT_TRUE(profile.WriteEntry("INST_PATH", "e:\\X\\"));
  EXPECT_EQ(ReadText(ini), "[STANDARD]\r\nINST_PATH=e:\\X\\\r\n");
  TProfile nowhere("STANDARD", "q:\\x.ini");
  EXPECT_FALSE(nowhere.WriteEntry("INST_PATH", "d:\\"));
}

// Mended: a full path that OFSTRUCT cannot hold is never taken cut short;
// the name stays as passed.
TEST_F(Handoff, ProfileNeverTakesACutFullPath) {
  std::string dir = Work() + std::string(120, 'p') + "\\";
  MakeDir(dir);
  MakeFile(dir + "a.ini");
  ChangeDirectory(dir);
  TProfile profile("STANDARD", "a.ini");
  EXPECT_STREQ(profile.FileName().c_str(), "a.ini");
  std::string longName = dir + "a.ini";
  TProfile full("STANDARD", longName.c_str());
  EXPECT_STREQ(full.FileName().c_str(), longName.c_str());
}

#ifndef _WIN32
// What WinExec was given: only the stand-in records it.

// A handle with its top bit set, or sign-extended to 64 bits, is unsigned.
TEST_F(Handoff, HandlesAreUnsignedDecimalsWithoutLeadingZeros) {
  const std::pair<std::uintptr_t, const char*> cases[] = {
      {0, "0"},
      {10, "10"},
      {0x7FFFFFFF, "2147483647"},
      {0x80000000u, "2147483648"},
      {0xFFFFFFFFu, "4294967295"},
      {static_cast<std::uintptr_t>(0xFFFFFFFF80000000ull), "2147483648"}};  // sign-extended
  for (const auto& c : cases) {
    Launch(c.first);
    ASSERT_FALSE(Standin().Started.empty());
    EXPECT_EQ(Standin().Started.back().CommandLine, Staging() + "INSTALL.EXE " + c.second);
    EXPECT_EQ(Standin().Started.back().Show, static_cast<UINT>(SW_SHOWNORMAL));
  }
}

TEST_F(Handoff, AnInstallIniThatCannotBeCreatedStillStartsTheInstaller) {
  StagingDirName = "_Orvane3d9\\";  // no such directory
  InstallerPath = (Temp() + "_Orvane3d9\\INSTALL.EXE").c_str();
  Launch(5);
  EXPECT_FALSE(Exists(Temp() + "_Orvane3d9"));
  EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{Temp() + "_Orvane3d9\\INSTALL.EXE 5"});
}

// Mended: the installer gets the DLL search the system would give it.
// SetDefaultDllDirectories narrows SETUP.EXE's own search and does not pass
// to the programs it starts; SetDllDirectoryA("") would, so where it is the
// only call there, it is undone right before the installer starts.
TEST_F(Handoff, TheInstallerGetsTheSystemsDllSearch) {
  const std::pair<std::set<std::string>, std::vector<std::string>> cases[] = {
      {{"SetDefaultDllDirectories", "SetDllDirectoryA"}, {"SetDefaultDllDirectories(0x800)", "WinExec"}},
      {{"SetDllDirectoryA"}, {"SetDllDirectoryA(\"\")", "SetDllDirectoryA(NULL)", "WinExec"}},
      {{}, {"WinExec"}}};
  for (const auto& c : cases) {
    Standin().Kernel32Exports = c.first;
    Standin().DllSearchAndStarts.clear();
    NarrowDllSearch();
    Launch(5);
    EXPECT_EQ(Standin().DllSearchAndStarts, c.second);
  }
}

// Mended: only an installer path with a blank is quoted.
TEST_F(Handoff, QuotesOnlyAPathWithABlank) {
  InstallerPath = "c:\\My Temp\\_Orvane3d1\\INSTALL.EXE";
  Launch(5);
  InstallerPath = (Staging() + "INSTALL.EXE").c_str();
  Launch(5);
  EXPECT_EQ(StartedCommandLines(), (std::vector<std::string>{"\"c:\\My Temp\\_Orvane3d1\\INSTALL.EXE\" 5",
                                                             Staging() + "INSTALL.EXE 5"}));
}
#endif
