// Path helpers and the choice of the staging directory.
#pragma once

#include <string>

#include "win32.h"

// Process-wide strings, created before WinMain in this order and destroyed
// in the reverse order after it.
extern std::string StagingDirName;   // "_Orvane3d<N>\", set by ChooseStagingDir
extern std::string StagingBaseName;  // "_Orvane3d"
extern std::string InstallerPath;    // set by ExtractArchive

constexpr int PATH_BUFFER_SIZE = 256;       // terminator included
constexpr int TEMP_PATH_BUFFER_SIZE = 260;  // terminator included

bool FileExists(const char* path);
char* ModuleDirectory(char* buffer);  // buffer of PATH_BUFFER_SIZE bytes
void MakeTempFileName(char* out, const char* prefix);
bool MakePath(const char* path);
std::string FindStagingRoot();
void ChooseStagingDir();
