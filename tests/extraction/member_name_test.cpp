// The rule for member names on its own: what it lets through and what it
// refuses, with the reason a message gives.
#include <gtest/gtest.h>

#include <string>

#include "member_name.h"

namespace {

MemberNameFault Check(const std::string& name) { return CheckMemberName(name.data(), name.size()); }

}  // namespace

TEST(MemberName, PlainFileNamesPass) {
  for (const char* name :
       {"INSTALL.EXE", "Install.ini", "a", ".hidden", "a..b", "X.", "readme ", "NULL.TXT", "CONSOLE", "COM10",
        "LPT", "xNUL", "A NUL", "caf\xE9.txt", "name with blanks.dat", "$CON"})
    EXPECT_EQ(Check(name), MemberNameFault::None) << name;
}

TEST(MemberName, EachFaultIsNamed) {
  struct Case {
    std::string Name;
    MemberNameFault Fault;
  };
  const Case cases[] = {
      {"", MemberNameFault::Empty},
      {std::string("A\0B", 3), MemberNameFault::ControlCharacter},
      {"A\x01", MemberNameFault::ControlCharacter},
      {"TAB\tNAME", MemberNameFault::ControlCharacter},
      {"DEL\x7F", MemberNameFault::ControlCharacter},
      {"\\EVIL", MemberNameFault::Separator},
      {"/EVIL", MemberNameFault::Separator},
      {"SUB\\FILE", MemberNameFault::Separator},
      {"SUB/FILE", MemberNameFault::Separator},
      {"..\\EVIL", MemberNameFault::Separator},
      {"C:EVIL", MemberNameFault::ForbiddenCharacter},
      {"EVIL:stream", MemberNameFault::ForbiddenCharacter},
      {"a*b", MemberNameFault::ForbiddenCharacter},
      {"a?b", MemberNameFault::ForbiddenCharacter},
      {"a\"b", MemberNameFault::ForbiddenCharacter},
      {"a<b", MemberNameFault::ForbiddenCharacter},
      {"a>b", MemberNameFault::ForbiddenCharacter},
      {"a|b", MemberNameFault::ForbiddenCharacter},
      {".", MemberNameFault::DotsAndBlanks},
      {"..", MemberNameFault::DotsAndBlanks},
      {"...", MemberNameFault::DotsAndBlanks},
      {".. ", MemberNameFault::DotsAndBlanks},
      {" ", MemberNameFault::DotsAndBlanks},
      {". .", MemberNameFault::DotsAndBlanks},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Check(c.Name), c.Fault) << c.Name;
    EXPECT_NE(std::string(MemberNameFaultText(c.Fault)), MemberNameFaultText(MemberNameFault::None));
  }
}

TEST(MemberName, DevicesInAnyCaseWithAnyExtension) {
  for (const char* name :
       {"CON",        "con",      "PRN",  "AUX",      "Aux",     "NUL",      "nul",        "NUL.TXT",
        "nul.tar.gz", "NUL .TXT", "NUL ", "NUL.",     "CONIN$",  "conin$.x", "CONOUT$",    "COM1",
        "com9",       "COM0",     "LPT1", "lpt9.log", "COM\xB9", "LPT\xB2",  "com\xB3.txt"})
    EXPECT_EQ(Check(name), MemberNameFault::DeviceName) << name;
}

TEST(MemberName, AZeroTerminatedNameIsCheckedUpToItsEnd) {
  EXPECT_EQ(CheckMemberName("INSTALL.EXE"), MemberNameFault::None);
  EXPECT_EQ(CheckMemberName("..\\X"), MemberNameFault::Separator);
  EXPECT_EQ(CheckMemberName(""), MemberNameFault::Empty);
  EXPECT_EQ(CheckMemberName(nullptr), MemberNameFault::Empty);
}

TEST(MemberName, NamesThatAreOneFileOnWindows) {
  auto same = [](const std::string& a, const std::string& b) {
    return SameFileNameOnWindows(a.data(), a.size(), b.data(), b.size());
  };
  EXPECT_TRUE(same("INSTALL.EXE", "install.exe"));
  EXPECT_TRUE(same("Install.Exe", "INSTALL.EXE. "));
  EXPECT_TRUE(same("README", "readme..."));
  EXPECT_TRUE(same("a b", "A B "));
  EXPECT_FALSE(same("README", "README.TXT"));
  EXPECT_FALSE(same("A.B", "AB"));
  EXPECT_FALSE(same(" A", "A")) << "leading blanks count";
  EXPECT_FALSE(same("caf\xE9", "CAF\xC9")) << "only ASCII letters fold";
  EXPECT_FALSE(same(std::string("A\0", 2), "A")) << "a zero byte is no blank";
  EXPECT_EQ(ComparedNameLength("X. .", 4), 1u);
  EXPECT_EQ(ComparedNameLength("...", 3), 0u);
  EXPECT_EQ(ComparedNameByte('z'), 'Z');
  EXPECT_EQ(ComparedNameByte('['), '[');
}
