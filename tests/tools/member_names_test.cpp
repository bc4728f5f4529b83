// The names setuppack accepts: the preloader's own rule for `extract`, and
// the stricter checks of `create` and `test` on top of it.
#include <gtest/gtest.h>

#include <vector>

#include "container/member_names.h"

TEST(MemberNames, PlainWindowsFileNamesPass) {
  for (const char* name : {"INSTALL.EXE", "readme.txt", "Data 1.cab", "a", "CONFIG.SYS", "COM10", "NULL",
                           "x.CON", ".hidden", "a..b"}) {
    EXPECT_EQ(MemberNameProblem(name), "") << name;
    EXPECT_EQ(NameRuleProblem(name), "") << name;
  }
}

TEST(MemberNames, TheRuleRefusesPathsDevicesDotsAndControlCharacters) {
  for (const std::string& name :
       std::vector<std::string>{"",          "\\EVIL",      "/etc/passwd",
                                "SUB\\FILE", "sub/evil.sh", "..\\x",
                                "C:x",       "a:stream",    ".",
                                "..",        "...",         ".. ",
                                " ",         "NUL",         "nul.txt",
                                "com1.txt",  "Aux",         "CONIN$",
                                "lpt\xB9",   "NUL .TXT",    "a*b",
                                "a?b",       "a|b",         "esc\x1b[31m",
                                "tab\tname", "del\x7F",     std::string("a\0b", 3)}) {
    EXPECT_NE(NameRuleProblem(name), "") << name;
    EXPECT_NE(MemberNameProblem(name), "") << name;
  }
  EXPECT_NE(NameRuleProblem("bell\x07").find("control character 0x07"), std::string::npos);
  EXPECT_NE(NameRuleProblem(std::string("A\0B", 3)).find("zero byte"), std::string::npos);
}

// A byte that the code page does not define: on Linux 0x81 in 1252 (Windows'
// own table of 1252 defines every byte).
#ifdef _WIN32
const std::vector<std::string> UNDEFINED_IN_1252;
#else
const std::vector<std::string> UNDEFINED_IN_1252{"caf\x81.txt"};
#endif

TEST(MemberNames, CreateAndTestRefuseMoreThanTheRule) {
  std::vector<std::string> names{"readme.", "readme ", std::string(192, 'n')};
  names.insert(names.end(), UNDEFINED_IN_1252.begin(), UNDEFINED_IN_1252.end());
  for (const std::string& name : names) {
    EXPECT_EQ(NameRuleProblem(name), "") << name;
    EXPECT_NE(MemberNameProblem(name), "") << name;
  }
}

// Names beyond ASCII are judged in their code page: a byte it does not
// define is refused, and case is that of the characters the bytes stand for.
TEST(MemberNames, NamesAreJudgedInTheirCodePage) {
  const CodePage western(1252), cyrillic(1251);
  EXPECT_EQ(MemberNameProblem("caf\xE9.txt", western), "");
  for (const std::string& name : UNDEFINED_IN_1252)
    EXPECT_NE(MemberNameProblem(name, western).find("code page 1252 does not define"), std::string::npos);
  EXPECT_EQ(WindowsNameKey("\xDC"
                           "BER.TXT",
                           western),
            WindowsNameKey("\xFC"
                           "ber.txt",
                           western));  // Über, über
  EXPECT_NE(WindowsNameKey("\xDC"
                           "BER.TXT",
                           western),
            WindowsNameKey("UBER.TXT", western));
  EXPECT_EQ(WindowsNameKey("\xCF\xF0\xE8\xE2\xE5\xF2", cyrillic),  // Привет, привет
            WindowsNameKey("\xEF\xF0\xE8\xE2\xE5\xF2", cyrillic));
}

TEST(MemberNames, LengthLimitLeavesRoomForAUsualStagingPath) {
  const std::size_t limit = MaxMemberNameLength();
  EXPECT_EQ(std::string(USUAL_STAGING_PREFIX).size() + limit + 1, PRELOADER_PATH_BUFFER);
  EXPECT_EQ(MemberNameProblem(std::string(limit, 'a')), "");
  std::string problem = MemberNameProblem(std::string(limit + 1, 'a'));
  EXPECT_NE(problem.find(std::to_string(limit)), std::string::npos) << "the message names the limit";
  EXPECT_NE(problem.find("_Orvane3d32000"), std::string::npos) << "and the prefix it assumed";
}

TEST(MemberNames, WindowsKeysAndTheNamesThePreloaderTreatsSpecially) {
  EXPECT_EQ(WindowsNameKey("Install.Exe"), WindowsNameKey("INSTALL.EXE"));
  EXPECT_EQ(WindowsNameKey("README"), WindowsNameKey("readme. ."));
  EXPECT_NE(WindowsNameKey("README"), WindowsNameKey("README.TXT"));
  EXPECT_TRUE(IsInstaller("install.exe"));
  EXPECT_FALSE(IsInstaller("install.exe.bak"));
  EXPECT_TRUE(IsPreloaderIni("INSTALL.ini"));
}
