// Stands in for INSTALL.EXE in the benchmark of SETUP.EXE's start. First
// thing, it notes the moment it started; then it writes that moment (a
// FILETIME, 100 ns steps since 1601, UTC) and its own directory into
// INSTALLER.START in the medium's directory, which Install.ini names, and
// answers the preloader's window with message 666 at once. It imports
// nothing from USER32 and loads it only after the moment is noted, so that
// the window system's start-up under Wine is not counted as SETUP.EXE's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  FILETIME started;
  GetSystemTimeAsFileTime(&started);

  char directory[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, directory, sizeof directory);
  if (length == 0 || length >= sizeof directory) return 2;
  char* slash = std::strrchr(directory, '\\');
  if (!slash) return 2;
  slash[1] = 0;

  char ini[MAX_PATH + 16];
  std::snprintf(ini, sizeof ini, "%sInstall.ini", directory);
  char medium[MAX_PATH];
  GetPrivateProfileStringA("STANDARD", "INST_PATH", "", medium, sizeof medium, ini);
  char stampPath[MAX_PATH + 32];
  std::snprintf(stampPath, sizeof stampPath, "%sINSTALLER.START", medium);
  FILE* stamp = std::fopen(stampPath, "w");
  if (!stamp) return 2;
  const unsigned long long fileTime =
      (static_cast<unsigned long long>(started.dwHighDateTime) << 32) | started.dwLowDateTime;
  std::fprintf(stamp, "%llu %s\n", fileTime, directory);
  std::fclose(stamp);

  // The window handle is the last word of the command line.
  const char* blank = std::strrchr(GetCommandLineA(), ' ');
  if (!blank) return 2;
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(blank + 1, nullptr, 10)));
  using PostMessageCall = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
  HMODULE user32 = LoadLibraryA("user32.dll");
  auto post = user32 ? reinterpret_cast<PostMessageCall>(
                           reinterpret_cast<void (*)()>(GetProcAddress(user32, "PostMessageA")))
                     : nullptr;
  if (!post) return 2;
  post(window, 666, 0, 0);
  return 0;
}
