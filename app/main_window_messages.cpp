#include "app_state.h"
#include "main_window.h"
#include "paths.h"
#include "reports.h"
#include "staging_dir.h"

namespace {
constexpr LONG SIZING_AND_BOX_STYLES = WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_THICKFRAME;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      ReleaseCapture();
      PostQuitMessage(AppExitCode);
      return 0;
    case WM_PAINT: {
      if (!FirstPaintDone) TurnIntoWaitingWindow();
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_TIMER:
      CleanUp();
      return 0;
    case MSG_INSTALLER_DONE:
      // A later message replaces the running timer, so the delay counts from
      // the installer's last word.
      SetTimer(hwnd, CLEANUP_TIMER_ID, CLEANUP_DELAY_MS, nullptr);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void MainWindow::TurnIntoWaitingWindow() {
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  SetWindowLongA(hwnd, GWL_STYLE, style & ~SIZING_AND_BOX_STYLES);
  // The outer size stays 350 x 50; only the frame is recomputed.
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
  SetWindowTextW(hwnd, PreloaderText(TEXT_WAITING_TITLE));
  FirstPaintDone = 1;
}

// Any program of the user may post the installer's message; the clean-up
// deletes only inside the directory this run created.
void MainWindow::CleanUp() {
  CleanUpStaging(InstallerPath.c_str());
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
}
