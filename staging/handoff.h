// Install.ini and the start of the installer.
#pragma once

#include "win32.h"

void LaunchInstaller(HWND window, const char* stagingRoot, const char* mediumDirectory);
