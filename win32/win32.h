// The Win32 calls the staging code makes. Windows builds get the real API;
// the native build of the tests finds the declarations of the same names
// through the include directory of the test platform it links.
#pragma once

#include <windows.h>

// A kernel32 function that not every Windows from XP on has, looked up at
// run time: null where it is missing. Through void (*)(), the one function
// type GCC lets any other become.
template <typename Call>
Call Kernel32Call(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}
