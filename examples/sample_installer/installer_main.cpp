// INSTALL.EXE of the sample payload: shows where the preloader unpacked it
// and what Install.ini says, and reports back with message 666 when its
// button is pressed.
#include "installer_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  StagingView view = LookAround(arguments);
  AppendReport(DescribeForReport(view));
  if (!CreateInstallerWindow(instance, &view)) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
