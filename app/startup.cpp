// SETUP.EXE's entry point, in place of the C runtime's start-up code.
//
// The toolchain's start-up objects are built for the P6 and use its
// conditional moves before WinMain runs; Windows XP runs on processors
// without them (Pentium MMX, K6, VIA C3), where such a program ends with an
// illegal instruction before its window shows. SETUP.EXE needs little of
// them: msvcrt.dll sets itself up when it loads, the program reads no
// arguments, and it has no thread-local data and no pseudo-relocations. What
// remains is done here: the global objects are constructed (the
// process-wide strings among them, in their order), WinMain runs, and
// exit() destroys them in the reverse order and ends the process with
// WinMain's result.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int cmdShow);

extern "C" {
// The linker's list of the objects' constructor functions: -1, the
// functions in link order, 0. Each registers its destructors with atexit.
extern void (*__CTOR_LIST__[])();

// The import library knows msvcrt.dll's atexit as data only (the
// toolchain's start-up used to bring a function of its own): registered
// through _onexit, the destructors go on the list that exit() runs.
int __cdecl atexit(void(__cdecl* function)()) {
  return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1;
}

// 32-bit Windows enters with the stack aligned to 4 bytes only.
__attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  // From the last to the first, as the toolchain's own start-up runs them.
  for (std::size_t i = count; i >= 1; --i) __CTOR_LIST__[i]();

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  char noArguments[] = "";
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, show));
}
}
