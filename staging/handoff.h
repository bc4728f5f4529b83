// Install.ini and the start of the installer.
#pragma once

#include <string>

#include "win32.h"

void LaunchInstaller(HWND window, const std::string& stagingRoot, const char* mediumDirectory);
