// A platform window owned by an object. The object's address sits in the
// window's extra bytes, and WndProc hands every message to HandleMessage.
#pragma once

#include <windows.h>

class Window {
 public:
  HWND hwnd = nullptr;

  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  Window() = default;
  // Objects are never deleted through a Window pointer.
  ~Window() = default;
};

// Byte offset of the object pointer in the window extra bytes.
constexpr int WINDOW_OBJECT_OFFSET = 0;
