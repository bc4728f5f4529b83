// Install.ini and the start of the installer.
#pragma once

#include "win32.h"

// Writes Install.ini and starts InstallerPath with the window's handle.
// False when the installer could not be started (it was not unpacked, or
// the system refused to start it).
bool LaunchInstaller(HWND window, const char* stagingRoot, const char* mediumDirectory);
