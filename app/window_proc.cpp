#include "window_proc.h"

#include "window.h"

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<Window*>(GetWindowLongPtrA(window, WINDOW_OBJECT_OFFSET));
  if (object) return object->HandleMessage(message, wParam, lParam);

  // WM_CREATE is the first message that carries the creation parameter; the
  // few messages before it (WM_NCCREATE, WM_GETMINMAXINFO, WM_NCCALCSIZE)
  // need no object.
  if (message == WM_CREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    object = static_cast<Window*>(create->lpCreateParams);
    SetWindowLongPtrA(window, WINDOW_OBJECT_OFFSET, reinterpret_cast<LONG_PTR>(object));
    object->hwnd = window;
    return object->HandleMessage(message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
