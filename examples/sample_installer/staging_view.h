// What the sample installer finds when the preloader has started it: its
// command line with the preloader's window handle, the Install.ini beside
// it and the files it was unpacked with.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct StagedFile {
  std::string Name;
  unsigned long long Size = 0;
};

struct StagingView {
  std::string CommandLine;   // the whole line, program path included
  HWND Preloader = nullptr;  // from the decimal number behind the path
  std::string Directory;     // where INSTALL.EXE runs from, with a backslash
  std::string InstPath;      // INST_PATH of [STANDARD] in Install.ini
  bool HasIni = false;
  std::vector<StagedFile> Files;
  std::string OwnName;
};

StagingView LookAround(const char* arguments);

// True when the directory is one the preloader made: "_Orvane3d" and digits,
// with Install.ini in it. Only then does the installer tidy up after itself.
bool IsPreloaderStaging(const StagingView& view);

// Deletes the companion files (everything but the running program), so that
// the preloader finds the directory empty once it has deleted INSTALL.EXE.
int RemoveCompanions(const StagingView& view);

// When SAMPLE_INSTALLER_REPORT names a file, appends lines to it: the demo
// reads there what the installer saw and did.
void AppendReport(const std::string& lines);
std::string DescribeForReport(const StagingView& view);
