// Install.ini and the start of the installer.
#pragma once

#include "win32.h"

enum class HandOff {
  Started,
  // Not unpacked, or the system refused to start it.
  NotStarted,
  // The staging directory is no longer the one this run created: nothing
  // was written or started there.
  StagingLost,
};

// Writes Install.ini and starts InstallerPath with the window's handle,
// each only while the staging directory is this run's own.
HandOff LaunchInstaller(HWND window, const char* stagingRoot, const char* mediumDirectory);
