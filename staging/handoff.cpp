// Install.ini and the start of the installer.
#include "handoff.h"

#include <cstdint>
#include <cstring>

#include "dll_search.h"
#include "paths.h"
#include "profile.h"
#include "staging_dir.h"

namespace {
const char INI_NAME[] = "Install.ini";
}

HandOff LaunchInstaller(HWND window, const char* stagingRoot, const char* mediumDirectory) {
  TString stagingDir = TString(stagingRoot) + StagingDirName;
  TString iniPath = stagingDir + INI_NAME;
  if (!IsOwnStagingDir(stagingDir.c_str())) return HandOff::StagingLost;
  NoteStagedFile(INI_NAME);
  HANDLE ini = CreateFileA(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  // The last look before the start: the installer runs only from the
  // directory this run created.
  if (!IsOwnStagingDir(stagingDir.c_str())) return HandOff::StagingLost;
  RestoreDllSearchForChildren();
  // WinExec's values up to 31 are errors.
  if (WinExec(commandLine.c_str(), SW_SHOWNORMAL) > 31) return HandOff::Started;
  // A box follows, and the DLLs it loads are searched for as before.
  NarrowDllSearchAgain();
  return HandOff::NotStarted;
}
