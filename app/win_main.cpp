// Entry point of SETUP.EXE.
#include <windows.h>

#include <cstdlib>

#include "app_state.h"
#include "main_window.h"
#include "message_loop.h"
#include "window_proc.h"

namespace {

// Keeps the system from loading a DLL on the preloader's behalf from its own
// directory (a downloads folder) or the current directory: later loads
// search the system directory alone. Both calls are looked up, since the
// program has to start where they are missing: SetDefaultDllDirectories
// came with Windows 8 (and an update of Windows Vista and 7),
// SetDllDirectoryA with Windows XP SP1.
void NarrowDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD flags);
  typedef BOOL(WINAPI * SetDllDirectoryCall)(LPCSTR path);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  // Through void (*)(), the one function type GCC lets any other become.
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto setDllDirectory = reinterpret_cast<SetDllDirectoryCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDllDirectory) setDllDirectory("");  // "": the current directory leaves the search
}

bool RegisterMainWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = sizeof(Window*);
  windowClass.hInstance = AppInstance;
  windowClass.hIcon = LoadIconA(AppInstance, APP_ICON_NAME);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = MAIN_WINDOW_CLASS;
  return RegisterClassA(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int cmdShow) {
  NarrowDllSearch();
  AppInstance = instance;
  AppCmdShow = cmdShow;
  if (!RegisterMainWindowClass()) std::exit(0);

  // Everything up to the installer's start happens in the constructor; the
  // object has to outlive the window, so it lives here until the loop ends.
  MainWindow mainWindow;
  return RunMessageLoop();
}
