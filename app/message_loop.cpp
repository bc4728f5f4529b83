#include "message_loop.h"

#include <windows.h>

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
