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

  HWND created = CreateWindowExW(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_CLASS, WS_OVERLAPPEDWINDOW, x, y,
                                 MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr, AppInstance, this);
  if (!created) std::exit(EXIT_NO_WINDOW);
  hwnd = created;

  ShowWindow(hwnd, AppCmdShow);
  ChooseStagingDir();
  // The first paint sets the waiting title and frame; it has to happen now,
  // because no message is taken from the queue until the installer runs.
  UpdateWindow(hwnd);
  SetCapture(hwnd);
  // A run that cannot reach the installer tells the user, and the window
  // then waits until it is closed; the exit code says why.
  std::uint8_t boundDigest[SHA256_DIGEST_SIZE];
  const bool bound = ReadBoundDigest(boundDigest);
  const ExtractResult result = ExtractArchive(hwnd, bound ? boundDigest : nullptr);
  switch (result) {
    case ExtractResult::ArchiveNotOpened:
      AppExitCode = EXIT_NO_CONTAINER;
      ReportFailure(hwnd, Failure::ArchiveMissing, ArchivePath.c_str());
      break;
    case ExtractResult::InstallerNotStarted:
    case ExtractResult::ContainerMismatch: {
      // No installer will use what was unpacked: it goes before the box,
      // which names the installer that did not start or the SETUP.TMP that
      // is not the one this SETUP.EXE is bound to.
      TString stagingDir = InstallerPath;
      stagingDir.Truncate(AfterLastSeparator(stagingDir.c_str(), 0));
      DiscardStaging(stagingDir.c_str());
      const bool mismatch = result == ExtractResult::ContainerMismatch;
      AppExitCode = mismatch ? EXIT_NOT_BOUND_CONTAINER : EXIT_INSTALLER_NOT_STARTED;
      ReportFailure(hwnd, mismatch ? Failure::NotBoundContainer : Failure::InstallerNotStarted,
                    mismatch ? ArchivePath.c_str() : InstallerPath.c_str());
      break;
    }
    case ExtractResult::StagingRefused:
      AppExitCode = EXIT_NO_STAGING_DIRECTORY;
      break;
    case ExtractResult::BoundMemberFailed:
      AppExitCode = EXIT_MEMBER_FAILED;
      break;
    case ExtractResult::InstallerStarted:
      break;
  }
  // Where nobody can close the window, a run that started nothing ends by
  // itself, with its code.
  if (result != ExtractResult::InstallerStarted && !UserCanAnswer()) PostMessageA(hwnd, WM_CLOSE, 0, 0);
}
