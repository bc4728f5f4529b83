// The names the preloader can and cannot write, and where `extract` may put
// a stored name.
#include <gtest/gtest.h>

#include "extract_path.h"
#include "member_names.h"

TEST(MemberNames, PlainWindowsFileNamesPass) {
  for (const char* name : {"INSTALL.EXE", "readme.txt", "Data 1.cab", "a", "CONFIG.SYS", "COM10", "LPT0.TXT",
                           "NULL", "x.CON"})
    EXPECT_EQ(MemberNameProblem(name), "") << name;
}

TEST(MemberNames, RefusesWhatAWindowsFileNameCannotHold) {
  EXPECT_NE(MemberNameProblem(""), "");
  for (char c : std::string("\\/:*?\"<>|")) EXPECT_NE(MemberNameProblem(std::string("a") + c + "b"), "") << c;
  for (int c : {1, 9, 10, 31, 127}) EXPECT_NE(MemberNameProblem("a" + std::string(1, static_cast<char>(c))), "") << c;
  EXPECT_NE(MemberNameProblem(std::string("a\0b", 3)), "");
  EXPECT_NE(MemberNameProblem("caf\xE9.txt"), "");
  EXPECT_NE(MemberNameProblem("readme."), "");
  EXPECT_NE(MemberNameProblem("readme "), "");
  EXPECT_NE(MemberNameProblem(".."), "");
}

TEST(MemberNames, RefusesReservedDevicesWithAndWithoutExtensionInAnyCase) {
  for (const char* name : {"CON", "con", "Prn.txt", "AUX.DAT", "nul.tar.gz", "COM1", "com9.log", "LPT1",
                           "lpt9.x", "CON .txt"})
    EXPECT_NE(MemberNameProblem(name), "") << name;
}

TEST(MemberNames, LengthLimitLeavesRoomForAUsualStagingPath) {
  const std::size_t limit = MaxMemberNameLength();
  EXPECT_EQ(std::string(USUAL_STAGING_PREFIX).size() + limit + 1, PRELOADER_PATH_BUFFER);
  EXPECT_EQ(MemberNameProblem(std::string(limit, 'a')), "");
  std::string problem = MemberNameProblem(std::string(limit + 1, 'a'));
  EXPECT_NE(problem.find(std::to_string(limit)), std::string::npos) << "the message names the limit";
  EXPECT_NE(problem.find("_Orvane3d32000"), std::string::npos) << "and the prefix it assumed";
}

TEST(MemberNames, CaseFoldingAndTheNamesThePreloaderTreatsSpecially) {
  EXPECT_EQ(FoldedName("Install.Exe"), FoldedName("INSTALL.EXE"));
  EXPECT_TRUE(IsInstaller("install.exe"));
  EXPECT_FALSE(IsInstaller("install.exe.bak"));
  EXPECT_TRUE(IsPreloaderIni("INSTALL.ini"));
}

TEST(ExtractPaths, KeepsNamesInsideTheDirectory) {
  ExtractTarget plain = ExtractTargetOf("README.TXT");
  EXPECT_EQ(plain.Refusal, "");
  EXPECT_EQ(plain.Components, std::vector<std::string>{"README.TXT"});
  ExtractTarget nested = ExtractTargetOf("SUB\\DIR/FILE.DAT");
  EXPECT_EQ(nested.Refusal, "");
  EXPECT_EQ(nested.Components, (std::vector<std::string>{"SUB", "DIR", "FILE.DAT"}));
  EXPECT_EQ(ExtractTargetOf("a..b").Refusal, "") << "dots inside a name are harmless";
}

TEST(ExtractPaths, RefusesEverythingThatLeadsOutside) {
  for (const char* name : {"", "\\WINDOWS\\x.dll", "/etc/passwd", "C:x", "C:\\x", "a:stream", "..", "..\\x",
                           "a/../../x", "SUB\\..", "a//b", "./x"})
    EXPECT_NE(ExtractTargetOf(name).Refusal, "") << name;
  EXPECT_NE(ExtractTargetOf(std::string("a\0/../x", 7)).Refusal, "");
}
