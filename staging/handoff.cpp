// Install.ini and the start of the installer.
#include "handoff.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dll_search.h"
#include "paths.h"
#include "profile.h"
#include "staging_dir.h"

namespace {
const char INI_NAME[] = "Install.ini";
}

TProfile::TProfile(const char* section, const char* fileName)
    : section_(section), fileName_(fileName) {
  // OFSTRUCT holds OFS_MAXPATHNAME characters; the platform cannot look up a
  // longer name, and a full path that would not fit it is never taken: the
  // name stays as passed then.
  if (std::strlen(fileName) >= static_cast<std::size_t>(OFS_MAXPATHNAME)) return;
  OFSTRUCT info;
  std::memset(&info, 0, sizeof info);
  if (OpenFile(fileName, &info, OF_EXIST) == HFILE_ERROR) return;
  const void* end = std::memchr(info.szPathName, 0, sizeof info.szPathName);
  if (end && end != static_cast<const void*>(info.szPathName + sizeof info.szPathName - 1) &&
      info.szPathName[0] != '\0')
    fileName_ = info.szPathName;
}

void* TProfile::operator new(std::size_t size) noexcept { return std::malloc(size); }

void TProfile::operator delete(void* object) noexcept { std::free(object); }

bool TProfile::WriteEntry(const char* key, const char* value) {
  return WritePrivateProfileStringA(section_.c_str(), key, value, fileName_.c_str()) != 0;
}

bool LaunchInstaller(HWND window, const char* stagingRoot, const char* mediumDirectory) {
  TString iniPath = TString(stagingRoot) + StagingDirName + INI_NAME;
  NoteStagedFile(INI_NAME);
  HANDLE ini = CreateFileA(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ini != INVALID_HANDLE_VALUE) CloseHandle(ini);

  TProfile* profile = new TProfile("STANDARD", iniPath.c_str());
  if (profile) {
    profile->WriteEntry("INST_PATH", mediumDirectory);
    delete profile;
  }

  // The handle as an unsigned 32-bit number: a handle with its top bit set
  // (or sign-extended to 64 bits) never gets a minus sign.
  std::uint32_t handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
  // A path with a blank goes in quotes: unquoted, the platform could start
  // another program (C:\Users\John.exe) and the installer would see its own
  // path split into arguments. Without a blank the line stays unquoted.
  bool quoted = std::strchr(InstallerPath.c_str(), ' ') != nullptr;
  TString commandLine = quoted ? TString("\"") + InstallerPath + "\"" : InstallerPath;
  commandLine += " ";
  commandLine.AppendDecimal(handle);
  RestoreDllSearchForChildren();
  // WinExec's values up to 31 are errors.
  return WinExec(commandLine.c_str(), SW_SHOWNORMAL) > 31;
}
