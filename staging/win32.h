// The Win32 calls the staging code makes. Windows builds get the real API;
// the native build of the tests finds the declarations of the same names
// through the include directory of the test platform it links.
#pragma once

#include <windows.h>
