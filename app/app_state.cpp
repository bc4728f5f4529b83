#include "app_state.h"

HINSTANCE AppInstance = nullptr;
int AppCmdShow = SW_SHOWDEFAULT;
std::int32_t FirstPaintDone = 0;
