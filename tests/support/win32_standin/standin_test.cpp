// The stand-in itself: path translation, fopen on Windows paths, a module
// name cut as older systems cut it, links as Wine shows them, directory
// handles, and the descriptors CreateDirectoryA reads. Where it stands for
// the platform (the profile writer's layout, temporary names, the staging
// directory's DACL), the shared staging tests hold it to the real API.
#include <cstdio>
#include <filesystem>

#include "standin_fixture.h"

using Standin_ = StandinTest;

TEST_F(Standin_, TranslatesDrivesRelativeNamesAndDots) {
  EXPECT_EQ(HostPath("c:\\work\\A.TXT"), scratch_.File("c/work/A.TXT"));
  EXPECT_EQ(HostPath("C:\\work\\A.TXT"), scratch_.File("c/work/A.TXT"));
  EXPECT_EQ(HostPath("_Orvane3d1\\INSTALL.EXE"), scratch_.File("c/work/_Orvane3d1/INSTALL.EXE"));
  EXPECT_EQ(HostPath("\\x\\y"), scratch_.File("c/x/y"));
  EXPECT_EQ(HostPath("c:\\temp\\"), scratch_.File("c/temp/"));
  EXPECT_EQ(HostPath("c:\\..\\..\\x"), scratch_.File("c/x"));  // never above the drive
  EXPECT_EQ(HostPath("q:\\x"), "");                            // an unmapped drive
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

// Links as Wine shows them: a link to a directory is a reparse point, one to
// a file looks like the file, one that leads nowhere does not exist; no name
// can be created over any of them, and removing a directory never follows one.
TEST_F(Standin_, LinksShowAsUnderWineAndAreNeverCreatedOver) {
  MakeDir("c:\\target\\");
  MakeFile("c:\\target\\f", BytesOf("keep"));
  std::filesystem::create_symlink(Host("c:\\target"), Host("c:\\dirlink"));
  std::filesystem::create_symlink(Host("c:\\target\\f"), Host("c:\\filelink"));
  std::filesystem::create_symlink(Host("c:\\nowhere"), Host("c:\\dangling"));
  EXPECT_EQ(GetFileAttributesA("c:\\dirlink"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(GetFileAttributesA("c:\\filelink"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA("c:\\dangling"), INVALID_FILE_ATTRIBUTES);
  for (const char* link : {"c:\\dirlink", "c:\\filelink", "c:\\dangling"}) {
    SCOPED_TRACE(link);
    EXPECT_FALSE(CreateDirectoryA(link, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(CreateFileA(link, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  }
  EXPECT_FALSE(RemoveDirectoryA("c:\\dirlink"));
  EXPECT_FALSE(Exists("c:\\nowhere"));
  EXPECT_EQ(Read("c:\\target\\f"), BytesOf("keep"));
}

TEST_F(Standin_, ADirectoryOpensOnlyWithBackupSemantics) {
  MakeDir("c:\\dir\\");
  EXPECT_EQ(CreateFileA("c:\\dir", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE dir = CreateFileA("c:\\dir", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(dir, INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION information;
  EXPECT_TRUE(GetFileInformationByHandle(dir, &information));
  EXPECT_EQ(information.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(CloseHandle(dir));
}

// A descriptor is read as the platform reads it: a malformed one fails the
// creation, and a DACL that runs past its size is malformed.
TEST_F(Standin_, CreateDirectoryRecordsTheDaclAndRefusesAMalformedDescriptor) {
  union {
    ACL header;
    BYTE bytes[64];
  } acl;
  SID_IDENTIFIER_AUTHORITY world = {{0, 0, 0, 0, 0, 1}};
  SID everyone = {SID_REVISION, 1, world, {0}};
  ASSERT_TRUE(InitializeAcl(&acl.header, sizeof acl, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAceEx(&acl.header, ACL_REVISION, 0, GENERIC_READ, &everyone));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl.header, FALSE));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  EXPECT_TRUE(CreateDirectoryA("c:\\good", &attributes));
  ASSERT_EQ(Standin().DirectoryDacls.count("c:\\good"), 1u);
  EXPECT_FALSE(Standin().DirectoryDacls["c:\\good"].Protected);
  EXPECT_EQ(Standin().DirectoryDacls["c:\\good"].Aces,
            (std::vector<RecordedAce>{{ACCESS_ALLOWED_ACE_TYPE, 0, GENERIC_READ, "S-1-1-0"}}));

  acl.header.AclSize = sizeof(ACL) + 4;  // the entry no longer fits
  EXPECT_FALSE(CreateDirectoryA("c:\\bad", &attributes));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SECURITY_DESCR);
  EXPECT_FALSE(Exists("c:\\bad"));
}
