// Entry point of SETUP.EXE.
#include <windows.h>

#include <cstdlib>

#include "app_state.h"
#include "dll_search.h"
#include "main_window.h"
#include "message_loop.h"
#include "window_proc.h"

namespace {

bool RegisterMainWindowClass() {
  WNDCLASSW windowClass = {};
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
  return RegisterClassW(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int cmdShow) {
  NarrowDllSearch();
  AppInstance = instance;
  AppCmdShow = cmdShow;
  if (!RegisterMainWindowClass()) std::exit(EXIT_NO_WINDOW);

  // Everything up to the installer's start happens in the constructor; the
  // object has to outlive the window, so it lives here until the loop ends.
  MainWindow mainWindow;
  return RunMessageLoop();
}
