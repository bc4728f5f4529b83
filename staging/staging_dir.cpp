// The staging directory this run created, held open while the run uses it.
#include "staging_dir.h"

#include <cstring>

#include "paths.h"
#include "tstring.h"

namespace {

// The directory this run created, without its trailing backslash, and the
// handle that holds it; empty and INVALID_HANDLE_VALUE when there is none.
TString OwnDirectory;
HANDLE Held = INVALID_HANDLE_VALUE;
// The names of the files this run wrote into it, each followed by '/',
// which no member name holds.
TString StagedFiles;

bool IsPlainDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The object behind the handle itself: FILE_FLAG_OPEN_REPARSE_POINT opens a
// link as the link, not as what it points to. (Wine opens what it points
// to; the path's attributes, which IsOwnStagingDir reads too, show the link.)
bool HeldIsPlainDirectory() {
  BY_HANDLE_FILE_INFORMATION information;
  return GetFileInformationByHandle(Held, &information) && IsPlainDirectory(information.dwFileAttributes);
}

}  // namespace

StagingCreation CreateStagingDir(const char* path, SECURITY_ATTRIBUTES* security) {
  ReleaseStagingDir();
  StagedFiles = "";
  if (!CreateDirectoryA(path, security)) {
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? StagingCreation::NameTaken
                                                                       : StagingCreation::Failed;
  }
  // Read access makes the share mode count: without FILE_SHARE_DELETE no one
  // else may open the directory for deletion, which a rename needs too.
  Held = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  OwnDirectory = path;
  // Replaced between its creation and the opening: not ours to use.
  if (Held == INVALID_HANDLE_VALUE || OwnDirectory.empty() || !HeldIsPlainDirectory()) ReleaseStagingDir();
  return StagingCreation::Created;
}

bool IsOwnStagingDir(const char* directory) {
  if (Held == INVALID_HANDLE_VALUE) return false;
  std::size_t length = OwnDirectory.size();
  if (std::strncmp(directory, OwnDirectory.c_str(), length) != 0 || directory[length] != '\\' ||
      directory[length + 1] != '\0')
    return false;
  return HeldIsPlainDirectory() && IsPlainDirectory(GetFileAttributesA(OwnDirectory.c_str()));
}

void ReleaseStagingDir() {
  if (Held != INVALID_HANDLE_VALUE) CloseHandle(Held);
  Held = INVALID_HANDLE_VALUE;
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
