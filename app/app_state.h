// Process-wide state of the window side of the preloader.
#pragma once

#include <windows.h>

#include <cstdint>

// The installer's way back: it posts this number to the window handle it
// found on its command line. A fixed value below WM_USER, so that an
// installer built without our headers can send it.
constexpr UINT MSG_INSTALLER_DONE = 666;

constexpr UINT_PTR CLEANUP_TIMER_ID = 1;
// The installer posts its message just before it ends; the delay gives its
// process time to go, so that its file can be deleted.
constexpr UINT CLEANUP_DELAY_MS = 3000;

// The window is a Unicode one, so that the publisher's texts in any
// language show in its title as written (an ANSI window would carry them
// through the system's code page).
constexpr wchar_t MAIN_WINDOW_CLASS[] = L"Orvane 3D-Preloader";
constexpr char APP_ICON_NAME[] = "IDI_SDIAPPLICATION";

constexpr int MAIN_WINDOW_WIDTH = 350;
constexpr int MAIN_WINDOW_HEIGHT = 50;

// The process's exit code. A run that started the installer ends with 0,
// as it always has, whatever the installer does; a run that started nothing
// ends with the code of its cause, so that a deployment that runs SETUP.EXE
// can tell (docs/STAGING.md has the table).
enum : int {
  EXIT_INSTALLER_STARTED = 0,
  EXIT_NO_WINDOW = 1,              // the window class or the window could not be made
  EXIT_NO_CONTAINER = 2,           // SETUP.TMP cannot be opened
  EXIT_NOT_BOUND_CONTAINER = 3,    // SETUP.TMP is not the container SETUP.EXE is bound to
  EXIT_NO_STAGING_DIRECTORY = 4,   // no safe staging directory
  EXIT_INSTALLER_NOT_STARTED = 5,  // INSTALL.EXE not unpacked, not a program, or refused
  EXIT_MEMBER_FAILED = 6,          // a bound medium's member could not be unpacked
};
extern int AppExitCode;

// Set by WinMain from its arguments before anything else runs.
extern HINSTANCE AppInstance;
extern int AppCmdShow;

// 1 once the first WM_PAINT has turned the window into the waiting window.
extern std::int32_t FirstPaintDone;
