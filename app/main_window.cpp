#include "main_window.h"

#include <cstdlib>

#include "app_state.h"
#include "extract.h"
#include "paths.h"
#include "staging_dir.h"
#include "this_binding.h"

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
  std::uint8_t boundDigest[SHA256_DIGEST_SIZE];
  const bool bound = ReadBoundDigest(boundDigest);
  const ExtractResult result = ExtractArchive(hwnd, bound ? boundDigest : nullptr);
  switch (result) {
    case ExtractResult::ArchiveNotOpened:
      ReportDecodeError(ArchivePath.c_str());
      break;
    case ExtractResult::InstallerNotStarted:
    case ExtractResult::ContainerMismatch: {
      // No installer will use what was unpacked: it goes before the box,
      // which names the installer that did not start or the SETUP.TMP that
      // is not the one this SETUP.EXE is bound to.
      TString stagingDir = InstallerPath;
      stagingDir.Truncate(AfterLastSeparator(stagingDir.c_str(), 0));
      DiscardStaging(stagingDir.c_str());
      ReportDecodeError(result == ExtractResult::ContainerMismatch ? ArchivePath.c_str()
                                                                   : InstallerPath.c_str());
      break;
    }
    case ExtractResult::InstallerStarted:
    case ExtractResult::StagingRefused:
    case ExtractResult::BoundMemberFailed:
      break;
  }
}
