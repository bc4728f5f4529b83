#include "main_window.h"

#include <cstdlib>

#include "app_state.h"
#include "extract.h"
#include "paths.h"

MainWindow::MainWindow() {
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - MAIN_WINDOW_WIDTH / 2;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - MAIN_WINDOW_HEIGHT / 2;

  HWND created = CreateWindowExA(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_CLASS, WS_OVERLAPPEDWINDOW, x, y,
                                 MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr,
                                 AppInstance, this);
  if (!created) std::exit(0);
  hwnd = created;

  ShowWindow(hwnd, AppCmdShow);
  ChooseStagingDir();
  // The first paint sets the waiting title and frame; it has to happen now,
  // because no message is taken from the queue until the installer runs.
  UpdateWindow(hwnd);
  SetCapture(hwnd);
  ExtractArchive(hwnd);
}
