#include "main_window.h"

#include <cstdlib>

#include "app_state.h"
#include "extract.h"
#include "paths.h"
#include "staging_dir.h"

MainWindow::MainWindow() {
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - MAIN_WINDOW_WIDTH / 2;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - MAIN_WINDOW_HEIGHT / 2;

  HWND created = CreateWindowExA(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_CLASS, WS_OVERLAPPEDWINDOW, x, y,
                                 MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr, AppInstance, this);
  if (!created) std::exit(0);
  hwnd = created;

  ShowWindow(hwnd, AppCmdShow);
  ChooseStagingDir();
  // The first paint sets the waiting title and frame; it has to happen now,
  // because no message is taken from the queue until the installer runs.
  UpdateWindow(hwnd);
  SetCapture(hwnd);
  // A run that cannot reach the installer tells the user, and the window
  // then waits until it is closed.
  switch (ExtractArchive(hwnd)) {
    case ExtractResult::ArchiveNotOpened:
      ReportDecodeError(ArchivePath.c_str());
      break;
    case ExtractResult::InstallerNotStarted: {
      // No installer will use what was unpacked: it goes before the box.
      TString stagingDir = InstallerPath;
      stagingDir.Truncate(AfterLastSeparator(stagingDir.c_str(), 0));
      DiscardStaging(stagingDir.c_str());
      ReportDecodeError(InstallerPath.c_str());
      break;
    }
    case ExtractResult::InstallerStarted:
    case ExtractResult::StagingRefused:
      break;
  }
}
