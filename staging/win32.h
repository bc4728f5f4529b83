// The Win32 calls the staging code makes. Windows builds get the real API;
// the native build gets a small stand-in with the same names (standin/).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "standin/win32_standin.h"
#endif
