// The staging code against the real Win32 API (run under wine64): the path
// helpers on a real temporary directory, Install.ini as the platform's
// profile writer lays it out, and one extraction end to end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "container.h"
#include "extract.h"
#include "handoff.h"
#include "members.h"
#include "paths.h"
#include "test_files.h"

namespace {

std::string SystemTempPath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  return std::string(buffer, n);
}

std::string Text(const std::string& path) {
  Bytes b = ReadWholeFile(path);
  return std::string(b.begin(), b.end());
}

std::string Directory() {
  char buffer[PATH_BUFFER_SIZE];
  return ModuleDirectory(buffer);
}

}  // namespace

TEST(RealWin32, ModuleDirectoryIsTheExecutablesDirectory) {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string path(module, n);
  EXPECT_EQ(Directory(), path.substr(0, path.rfind('\\') + 1));
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_TRUE(FileExists(path.c_str()));
  EXPECT_TRUE(FileExists(Directory().c_str()));
}

TEST(RealWin32, TempFileNameAndStagingRootAreInTheSystemTemporaryDirectory) {
  char name[PATH_BUFFER_SIZE];
  MakeTempFileName(name, "INS");
  std::string temp = SystemTempPath();
  ASSERT_EQ(std::string(name).substr(0, temp.size()), temp);
  EXPECT_TRUE(FileExists(name));
  DeleteFileA(name);
  EXPECT_EQ(FindStagingRoot().c_str(), temp);
}

TEST(RealWin32, MakePathOnAbsoluteAndRelativePaths) {
  ScratchDir dir;
  std::string target = dir.Path() + "A\\B\\C.EXE";
  EXPECT_TRUE(MakePath(target.c_str()));
  EXPECT_TRUE(FileExists((dir.Path() + "A\\B").c_str()));
  EXPECT_FALSE(FileExists(target.c_str()));

  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
  EXPECT_TRUE(MakePath("_Orvane3d1\\INSTALL.EXE"));
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(FileExists((dir.Path() + "_Orvane3d1").c_str()));
}

// The stand-in's profile writer must lay out Install.ini as this one does.
TEST(RealWin32, InstallIniLayoutOfThePlatformsProfileWriter) {
  ScratchDir dir;
  std::string root = dir.Path();
  StagingDirName = "_Orvane3d1\\";
  ASSERT_TRUE(CreateDirectoryA((root + StagingDirName.c_str()).c_str(), nullptr));
  WriteWholeFile(root + StagingDirName.c_str() + "Install.ini", BytesOf("[OLD]\r\nX=1\r\n"));
  InstallerPath = (root + StagingDirName.c_str() + "INSTALL.EXE").c_str();  // missing: the start fails quietly
  LaunchInstaller(nullptr, root.c_str(), "D:\\");
  EXPECT_EQ(Text(root + StagingDirName.c_str() + "Install.ini"), "[STANDARD]\r\nINST_PATH=D:\\\r\n");
}

TEST(RealWin32, ExtractionEndToEnd) {
  ScratchDir work;
  Bytes data = RandomBytes(40000, 11);
  std::string archive = Directory() + "SETUP.TMP";
  // No INSTALL.EXE among the members: the start fails and shows nothing.
  WriteWholeFile(archive, MakeContainer({{"DATA.BIN", EncodeBytes(work, data)},
                                         {"README.TXT", EncodeBytes(work, BytesOf("Hallo"))}}));
  ChooseStagingDir();
  bool result = ExtractArchive(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x80000010u)));
  DeleteFileA(archive.c_str());
  std::string staging = std::string(FindStagingRoot().c_str()) + StagingDirName.c_str();
  EXPECT_TRUE(result);
  EXPECT_EQ(InstallerPath.c_str(), staging + "INSTALL.EXE");
  EXPECT_EQ(ReadWholeFile(staging + "DATA.BIN"), data);
  EXPECT_EQ(ReadWholeFile(staging + "README.TXT"), BytesOf("Hallo"));
  EXPECT_EQ(Text(staging + "Install.ini"), "[STANDARD]\r\nINST_PATH=" + Directory() + "\r\n");
  for (const char* name : {"DATA.BIN", "README.TXT", "Install.ini"})
    DeleteFileA((staging + name).c_str());
  EXPECT_TRUE(RemoveDirectoryA(staging.c_str()));
}
