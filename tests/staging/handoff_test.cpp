// The hand-off: Install.ini and TProfile on the stand-in and on the real API
// alike; the installer's command line where it can be seen, on the stand-in
// (the real platform would start whatever the line names).
#include <filesystem>
#include <tuple>

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
    CreateStagingDir((Temp() + "_Orvane3d1").c_str(), nullptr);
    InstallerPath = (Staging() + "INSTALL.EXE").c_str();
  }
  static HWND Window(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }
  std::string Staging() const { return Temp() + "_Orvane3d1\\"; }
  HandOff Launch(std::uintptr_t window, const char* medium = "d:\\") {
    return LaunchInstaller(Window(window), Temp().c_str(), medium);
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

// Mended: Install.ini goes, and the installer starts, only in the directory
// this run created, looked at anew right before each: one that is gone, or
// that another took the place of (just before the look before Install.ini,
// or the one before the start), gets nothing more written or started. (The
// platform refuses the rename of the held directory outright; the stand-in
// cannot, so the look has to see it.)
TEST_F(Handoff, NothingIsWrittenOrStartedWhereTheStagingDirectoryIsNoLongerOurs) {
  const std::string own = Temp() + "_Orvane3d1", moved = Temp() + "moved";
  for (int swapAtLook : {1, 2}) {
    SCOPED_TRACE(swapAtLook);
    Restart();  // SetUp made the staging directory anew
    MakeFile(Staging() + "INSTALL.EXE", BytesOf("MZ"));
    int looks = 0;
    Standin().BeforeCall = [&](const std::string& call, const std::string& path) {
      if (call != "CreateFileA" || path != own || ++looks != swapAtLook) return;
      std::filesystem::rename(Host(own), Host(moved));
      MakeDir(Staging());
      MakeFile(Staging() + "INSTALL.EXE", BytesOf("MZ theirs"));
    };
    EXPECT_EQ(Launch(5), HandOff::StagingLost);
    EXPECT_TRUE(Standin().Started.empty());
    EXPECT_EQ(List(Staging()), std::vector<std::string>{"INSTALL.EXE"});
  }
  ReleaseStagingDir();
  Standin().BeforeCall = nullptr;
  EXPECT_EQ(Launch(5), HandOff::StagingLost);
  EXPECT_TRUE(Standin().Started.empty());
}

// Mended: the installer gets the DLL search the system would give it.
// SetDefaultDllDirectories narrows SETUP.EXE's own search and does not pass
// to the programs it starts; SetDllDirectoryA("") would, so where it is the
// only call there, it is undone right before the installer starts, and put
// back when the start failed, before the box that follows loads anything.
TEST_F(Handoff, TheInstallerGetsTheSystemsDllSearch) {
  const std::string narrowed = "SetDllDirectoryA(\"\")";
  const std::tuple<std::set<std::string>, bool, std::vector<std::string>> cases[] = {
      {{"SetDefaultDllDirectories", "SetDllDirectoryA"},
       true,
       {"SetDefaultDllDirectories(0x800)", "WinExec"}},
      {{"SetDefaultDllDirectories", "SetDllDirectoryA"},
       false,
       {"SetDefaultDllDirectories(0x800)", "WinExec"}},
      {{"SetDllDirectoryA"}, true, {narrowed, "SetDllDirectoryA(NULL)", "WinExec"}},
      {{"SetDllDirectoryA"}, false, {narrowed, "SetDllDirectoryA(NULL)", "WinExec", narrowed}},
      {{}, false, {"WinExec"}}};
  for (const auto& c : cases) {
    Standin().Kernel32Exports = std::get<0>(c);
    Standin().DllSearchAndStarts.clear();
    if (std::get<1>(c))
      MakeFile(Staging() + "INSTALL.EXE", BytesOf("MZ"));
    else
      DeleteFileA((Staging() + "INSTALL.EXE").c_str());
    NarrowDllSearch();
    EXPECT_EQ(Launch(5), std::get<1>(c) ? HandOff::Started : HandOff::NotStarted);
    EXPECT_EQ(Standin().DllSearchAndStarts, std::get<2>(c));
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
