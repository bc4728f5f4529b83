// The staging directory this run created, held open while the run uses it.
#include "staging_dir.h"

#include <cstring>

#include "held_directory.h"
#include "paths.h"
#include "private_security.h"
#include "staging_root.h"
#include "tstring.h"

namespace {

constexpr std::uint32_t STAGING_NUMBERS = 32000;  // _Orvane3d1 to _Orvane3d32000

// StagingBaseName, the number and a backslash.
TString StagingName(std::uint32_t number) {
  TString name = StagingBaseName;
  name.AppendDecimal(number);
  name += "\\";
  return name;
}

// The directory this run created, without its trailing backslash, and the
// handle that holds it; empty and not held when there is none.
TString OwnDirectory;
HeldDirectory Held;
// The names of the files this run wrote into it, each followed by '/',
// which no member name holds.
TString StagedFiles;

}  // namespace

StagingCreation CreateStagingDir(const char* path, SECURITY_ATTRIBUTES* security) {
  ReleaseStagingDir();
  StagedFiles = "";
  if (!CreateDirectoryA(path, security)) {
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? StagingCreation::NameTaken
                                                                       : StagingCreation::Failed;
  }
  // Replaced between its creation and the opening: not ours to use.
  if (Held.Hold(path)) OwnDirectory = path;
  if (OwnDirectory.empty()) ReleaseStagingDir();
  return StagingCreation::Created;
}

bool IsOwnStagingDir(const char* directory) {
  if (!Held.Held()) return false;
  std::size_t length = OwnDirectory.size();
  if (std::strncmp(directory, OwnDirectory.c_str(), length) != 0 || directory[length] != '\\' ||
      directory[length + 1] != '\0')
    return false;
  return Held.IsAt(OwnDirectory.c_str());
}

void ReleaseStagingDir() {
  Held.Release();
  OwnDirectory = "";
}

void CleanUpStaging(const char* installerPath) {
  TString directory = installerPath;
  directory.Truncate(AfterLastSeparator(directory.c_str(), 0));
  if (!IsOwnStagingDir(directory.c_str())) return;
  DeleteFileA(installerPath);
  ReleaseStagingDir();
  // Only an empty directory goes: whatever the installer left there stays.
  RemoveDirectoryA(directory.c_str());
}

void NoteStagedFile(const char* name) {
  StagedFiles += name;
  StagedFiles += "/";
}

void DiscardStaging(const char* directory) {
  if (!IsOwnStagingDir(directory)) return;
  const char* names = StagedFiles.c_str();
  while (*names) {
    const char* end = std::strchr(names, '/');
    TString path = directory;
    path.Append(names, static_cast<std::size_t>(end - names));
    DeleteFileA(path.c_str());  // a name written twice is gone the second time
    names = end + 1;
  }
  StagedFiles = "";
  ReleaseStagingDir();
  TString withoutSeparator = directory;
  withoutSeparator.Truncate(withoutSeparator.size() - 1);
  RemoveDirectoryA(withoutSeparator.c_str());
}

// A number counts as free only when its directory can be created now, by
// this run: a name that exists in any form (file, directory, link) is passed
// over, and so is one that someone makes between a look and the creation.
// Any other failure (the path is missing, access is denied, the disk is
// full) would fail for every number: the search ends there, with that
// number's name and no directory of this run. When no number up to 32,000
// can be created, the name stays that of 32,000. ExtractArchive then shows
// the box for that name and writes and starts nothing. The same holds when the private descriptor cannot be
// built (a staging directory that others could use is never made), and for a directory whose installer path
// would not fit a path buffer (nothing could be staged in it).
void ChooseStagingDir() {
  ReleaseStagingDir();  // a directory and root of an earlier choice are let go
  ReleaseStagingRoot();
  TString root = FindStagingRoot();
  std::uint32_t number = STAGING_NUMBERS;
  PrivateSecurity security;
  if (StagingRootHeld() && BuildPrivateSecurity(security)) {
    for (std::uint32_t i = 1; i <= STAGING_NUMBERS; ++i) {
      TString candidate = root + StagingBaseName;
      candidate.AppendDecimal(i);
      std::size_t installerPathSize = candidate.size() + 1 + sizeof INSTALLER_NAME;  // terminator included
      bool installerFits = installerPathSize <= static_cast<std::size_t>(PATH_BUFFER_SIZE);
      if (!installerFits) continue;
      StagingCreation created = CreateStagingDir(candidate.c_str(), &security.Attributes);
      if (created != StagingCreation::NameTaken) {
        number = i;
        break;
      }
    }
  }
  StagingDirName = StagingName(number);
}
