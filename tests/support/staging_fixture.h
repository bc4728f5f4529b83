// The platform under the staging tests that run both natively against the
// Win32 stand-in and, in the Windows builds, against the real API (under
// Wine): a temporary directory, a current directory and a medium of the
// test's own, named as Windows paths with a trailing backslash.
//
//             stand-in             real API
//   Temp()    c:\windows\temp\     <scratch>\temp\  (through TMP and TEMP)
//   Work()    c:\work\             <scratch>\work\  (the current directory)
//   Medium()  d:\  (d:\SETUP.EXE)  the test program's own directory
//
// On the real platform the module path cannot be steered, so SETUP.TMP goes
// beside the test program and is removed again after each test. The
// stand-in also records the calls a test cannot see on the real platform:
// the programs started and the directories created (RecordsCalls()).
//
// The DACL of a directory the staging code created (Dacl()) comes from the
// platform on Windows and from what the stand-in recorded of the descriptor
// natively.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "paths.h"
#include "staging_dir.h"
#include "staging_root.h"
#include "test_files.h"

// One entry of a DACL: type, flags, access mask, "S-1-5-18".
struct DaclEntry {
  int Type = -1;
  int Flags = 0;
  unsigned long Mask = 0;
  std::string Sid;
  bool operator==(const DaclEntry& o) const {
    return Type == o.Type && Flags == o.Flags && Mask == o.Mask && Sid == o.Sid;
  }
};

struct DaclView {
  bool Found = false;  // the directory has a DACL
  bool Protected = false;
  std::vector<DaclEntry> Entries;
};

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "user_sid.h"

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, buffer);
    previousDirectory_ = buffer;
    SaveVariable("TMP", previousTmp_);
    SaveVariable("TEMP", previousTemp_);
    root_ = scratch_.Path();
    MakeDir(Temp());
    MakeDir(Work());
    std::string temp = Temp().substr(0, Temp().size() - 1);
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetCurrentDirectoryA(Work().c_str());
    ReleaseStagingDir();
    ReleaseStagingRoot();
    LastResortCounter = 0;
    StagingDirName = "_Orvane3d\\";
    InstallerPath = "";
  }

  void TearDown() override {
    ReleaseStagingDir();  // a held directory could not be removed with the scratch directory
    ReleaseStagingRoot();
    SetCurrentDirectoryA(previousDirectory_.c_str());
    SetEnvironmentVariableA("TMP", previousTmp_.c_str());
    SetEnvironmentVariableA("TEMP", previousTemp_.c_str());
    DeleteFileA((Medium() + "SETUP.TMP").c_str());
  }

  // Back to the state of SetUp, the directories' contents gone.
  void Restart() {
    TearDown();
    std::filesystem::remove_all(Temp());
    std::filesystem::remove_all(Work());
    SetUp();
  }

  static constexpr bool RecordsCalls() { return false; }
  static std::vector<std::string> CreatedDirectories() { return {}; }
  static std::vector<std::string> StartedCommandLines() { return {}; }
  std::string Temp() const { return root_ + "temp\\"; }
  std::string Work() const { return root_ + "work\\"; }
  static std::string Medium() {
    char buffer[PATH_BUFFER_SIZE];
    return ModuleDirectory(buffer);
  }
  static std::string ModuleFileName() {
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length);
  }

  static std::string Host(const std::string& windowsPath) { return windowsPath; }
  static void ChangeDirectory(const std::string& windowsPath) { SetCurrentDirectoryA(windowsPath.c_str()); }

  // `directory` without its trailing backslash.
  static DaclView Dacl(const std::string& directory) {
    DaclView view;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoA(directory.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
      return view;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    view.Found = dacl != nullptr;
    view.Protected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      if (!GetAce(dacl, i, &ace)) break;
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
      DaclEntry entry{allowed->Header.AceType, allowed->Header.AceFlags, allowed->Mask, ""};
      char* sid = nullptr;
      if (entry.Type == ACCESS_ALLOWED_ACE_TYPE || entry.Type == ACCESS_DENIED_ACE_TYPE) {
        ConvertSidToStringSidA(const_cast<DWORD*>(&allowed->SidStart), &sid);
        entry.Sid = sid ? sid : "";
        LocalFree(sid);
      }
      view.Entries.push_back(entry);
    }
    LocalFree(descriptor);
    return view;
  }
  static std::string UserSid() { return CurrentUserSid(); }

  ScratchDir scratch_;

 private:
  static void SaveVariable(const char* name, std::string& value) {
    char buffer[32768];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    value.assign(buffer, length < sizeof buffer ? length : 0);
  }

  std::string root_, previousDirectory_, previousTmp_, previousTemp_;

 protected:
#else
#include "standin_fixture.h"

class StagingTest : public StandinTest {
 protected:
  static constexpr bool RecordsCalls() { return true; }
  static std::vector<std::string> CreatedDirectories() { return Standin().CreatedDirectories; }
  static std::vector<std::string> StartedCommandLines() {
    std::vector<std::string> lines;
    for (const StartedProgram& started : Standin().Started) lines.push_back(started.CommandLine);
    return lines;
  }
  static std::string Temp() { return "c:\\windows\\temp\\"; }
  static std::string Work() { return "c:\\work\\"; }
  static std::string Medium() { return "d:\\"; }
  static std::string ModuleFileName() { return "d:\\SETUP.EXE"; }
  static void ChangeDirectory(const std::string& windowsPath) { Standin().CurrentDirectory = windowsPath; }

  // `directory` as the staging code passed it to CreateDirectoryA.
  static DaclView Dacl(const std::string& directory) {
    DaclView view;
    auto recorded = Standin().DirectoryDacls.find(directory);
    if (recorded == Standin().DirectoryDacls.end()) return view;
    view.Found = true;
    view.Protected = recorded->second.Protected;
    for (const RecordedAce& ace : recorded->second.Aces)
      view.Entries.push_back({ace.Type, ace.Flags, ace.Mask, ace.Sid});
    return view;
  }
  static std::string UserSid() { return STANDIN_USER_SID; }

 protected:
#endif

  // The same helpers on both platforms, on Windows paths.
  static void MakeDir(const std::string& windowsPath) {
    std::filesystem::create_directories(StagingTest::Host(windowsPath));
  }
  static void MakeFile(const std::string& windowsPath, const Bytes& bytes = {}) {
    WriteWholeFile(StagingTest::Host(windowsPath), bytes);
  }
  static bool Exists(const std::string& windowsPath) {
    std::error_code error;
    return std::filesystem::exists(StagingTest::Host(windowsPath), error);
  }
  static bool IsDir(const std::string& windowsPath) {
    std::error_code error;
    return std::filesystem::is_directory(StagingTest::Host(windowsPath), error);
  }
  static Bytes Read(const std::string& windowsPath) { return ReadWholeFile(StagingTest::Host(windowsPath)); }
  static std::string ReadText(const std::string& windowsPath) {
    Bytes b = Read(windowsPath);
    return std::string(b.begin(), b.end());
  }
  // Names in a directory, sorted.
  static std::vector<std::string> List(const std::string& windowsPath) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(StagingTest::Host(windowsPath)))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};
