// A fresh Win32 stand-in per test, its drives inside the test's own scratch
// directory:  c: -> <scratch>/c/  (current directory c:\work\, temporary path
// c:\windows\temp\),  d: -> <scratch>/d/  (the medium, module d:\SETUP.EXE).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "paths.h"
#include "staging_dir.h"
#include "staging_root.h"
#include "test_files.h"
#include "standin_control.h"

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseStagingDir();  // a staging directory or root of an earlier test is not this one's
    ReleaseStagingRoot();
    ResetStandin();
    MapDrive('c', scratch_.File("c"));
    MapDrive('d', scratch_.File("d"));
    MakeDir("c:\\work\\");
    MakeDir("c:\\windows\\temp\\");
    Standin().CurrentDirectory = "c:\\work\\";
    Standin().TempPath = "c:\\windows\\temp\\";
    SetModule("d:\\SETUP.EXE");
    LastResortCounter = 0;
    StagingDirName = "_Orvane3d\\";
    InstallerPath = "";
  }

  void TearDown() override {
    ReleaseStagingDir();
    ReleaseStagingRoot();
    ResetStandin();
  }

  // Back to the state of SetUp, the drives' contents gone.
  void Restart() {
    ResetStandin();
    for (const char* drive : {"c", "d", "e"}) std::filesystem::remove_all(scratch_.File(drive));
    SetUp();
  }

  void SetModule(const std::string& windowsPath) {
    Standin().ModuleFileName = windowsPath;
    LoadModulePath();
  }

  // Host path of a Windows path, which must be on a mapped drive.
  static std::string Host(const std::string& windowsPath) {
    std::string host = HostPath(windowsPath);
    EXPECT_FALSE(host.empty()) << windowsPath;
    return host;
  }
  static void MakeDir(const std::string& windowsPath) {
    std::filesystem::create_directories(Host(windowsPath));
  }
  static void MakeFile(const std::string& windowsPath, const Bytes& bytes = {}) {
    WriteWholeFile(Host(windowsPath), bytes);
  }
  static bool Exists(const std::string& windowsPath) {
    struct stat info;
    return ::stat(Host(windowsPath).c_str(), &info) == 0;
  }
  static bool IsDir(const std::string& windowsPath) {
    return std::filesystem::is_directory(Host(windowsPath));
  }
  static Bytes Read(const std::string& windowsPath) { return ReadWholeFile(Host(windowsPath)); }
  static std::string ReadText(const std::string& windowsPath) {
    Bytes b = Read(windowsPath);
    return std::string(b.begin(), b.end());
  }
  // Names in a directory, sorted.
  static std::vector<std::string> List(const std::string& windowsPath) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Host(windowsPath)))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchDir scratch_;
};
