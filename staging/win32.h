// The Win32 calls the staging code makes. Windows builds get the real API;
// the native build compiles against a stand-in's declarations of the same
// names, which only its test programs define.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "win32_standin.h"
#endif
