#include "app_state.h"

HINSTANCE AppInstance = nullptr;
int AppCmdShow = SW_SHOWDEFAULT;
int AppExitCode = EXIT_INSTALLER_STARTED;
std::int32_t FirstPaintDone = 0;
