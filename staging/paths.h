// Path helpers, the temporary location and the process-wide strings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tstring.h"
#include "win32.h"

// Process-wide strings, created before WinMain in this order and destroyed
// in the reverse order after it.
extern TString StagingDirName;   // "_Orvane3d<N>\", set by ChooseStagingDir
extern TString StagingBaseName;  // "_Orvane3d"
extern TString InstallerPath;    // set by ExtractArchive
extern TString ArchivePath;      // SETUP.TMP beside the program, set by ExtractArchive

constexpr int PATH_BUFFER_SIZE = 256;       // terminator included
constexpr int TEMP_PATH_BUFFER_SIZE = 260;  // terminator included

// The installer's name in the staging directory.
constexpr char INSTALLER_NAME[] = "INSTALL.EXE";

// The last-resort counter of MakeTempFileName: 0 when the program starts,
// carried over from call to call.
extern std::uint16_t LastResortCounter;
// Most last-resort names tried in one call before giving up (out = "").
constexpr unsigned LAST_RESORT_TRIES = 65535;

// Fetches the module path from the system and keeps it. Runs once before
// WinMain; tests call it again after steering the module's name. A name that
// does not fit 255 characters is kept as empty: ModuleDirectory is then "".
void LoadModulePath();

// Index behind the last backslash or slash of `path` at or after index
// `from`; `from` when there is none. The directory part of a path ends there.
std::size_t AfterLastSeparator(const char* path, std::size_t from);

bool FileExists(const char* path);
char* ModuleDirectory(char* buffer);  // buffer of PATH_BUFFER_SIZE bytes
// Takes the directory of the name it gives as the staging root
// (staging_root.h), passing over those that cannot be trusted.
void MakeTempFileName(char* out, const char* prefix);
bool MakePath(const char* path);
// The staging root, which it leaves held (staging_root.h); "" with none
// held when no directory could be trusted.
TString FindStagingRoot();
