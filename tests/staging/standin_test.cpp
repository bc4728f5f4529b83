// The stand-in itself: path translation, fopen on Windows paths, a module
// name cut as older systems cut it. Where it stands for the platform (the
// profile writer's layout, temporary names), the shared staging tests hold
// it to the real API.
#include <cstdio>

#include "standin_fixture.h"

using Standin_ = StandinTest;

TEST_F(Standin_, TranslatesDrivesRelativeNamesAndDots) {
  EXPECT_EQ(HostPath("c:\\work\\A.TXT"), scratch_.File("c/work/A.TXT"));
  EXPECT_EQ(HostPath("C:\\work\\A.TXT"), scratch_.File("c/work/A.TXT"));
  EXPECT_EQ(HostPath("_Orvane3d1\\INSTALL.EXE"), scratch_.File("c/work/_Orvane3d1/INSTALL.EXE"));
  EXPECT_EQ(HostPath("\\x\\y"), scratch_.File("c/x/y"));
  EXPECT_EQ(HostPath("c:\\temp\\"), scratch_.File("c/temp/"));
  EXPECT_EQ(HostPath("c:\\..\\..\\x"), scratch_.File("c/x"));  // never above the drive
  EXPECT_EQ(HostPath("q:\\x"), "");                             // an unmapped drive
  EXPECT_EQ(FullWindowsPath("a\\b.ini"), "c:\\work\\a\\b.ini");
}

TEST_F(Standin_, FopenTranslatesWindowsPathsAndPassesHostPathsOn) {
  MakeFile("c:\\work\\A.TXT", BytesOf("abc"));
  FILE* f = std::fopen("c:\\work\\A.TXT", "rb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  f = std::fopen("A.TXT\\", "rb");  // a directory-like name never opens
  EXPECT_EQ(f, nullptr);
  f = std::fopen(scratch_.File("c/work/A.TXT").c_str(), "rb");  // host path unchanged
  ASSERT_NE(f, nullptr);
  std::fclose(f);
}

TEST_F(Standin_, ModuleNameThatDoesNotFitIsCutWithoutTerminator) {
  Standin().ModuleFileName = "d:\\" + std::string(300, 'A') + "\\SETUP.EXE";
  char buffer[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("d:\\A\x01", 5));
}
