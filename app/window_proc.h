// The window procedure of the main window class. Exported from the
// executable by the plain name "WndProc".
#pragma once

#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK
    WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
