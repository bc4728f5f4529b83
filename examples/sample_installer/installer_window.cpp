#include "installer_window.h"

#include <cstdio>

namespace {

constexpr char WINDOW_CLASS[] = "SampleInstallerWindow";
constexpr int DONE_BUTTON_ID = 100;
constexpr int WIDTH = 620;
constexpr int HEIGHT = 330;

const StagingView* shown = nullptr;

std::string Text(const StagingView& view) {
  char handle[32];
  std::snprintf(handle, sizeof handle, "%llu",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(view.Preloader)));
  std::string text =
      "Aufruf: " + view.CommandLine + "\r\n" + "Fenster des Preloaders: " + handle + "\r\n" +
      "INST_PATH aus Install.ini: " + (view.InstPath.empty() ? "(keine Angabe)" : view.InstPath) + "\r\n" +
      "Entpackt nach: " + view.Directory + "\r\n\r\n" + "Entpackte Dateien:\r\n";
  for (const StagedFile& file : view.Files)
    text += "    " + file.Name + "  (" + std::to_string(file.Size) + " Bytes)\r\n";
  return text;
}

// The preloader waits for message 666; the companions go first, so that
// its clean-up finds the staging directory empty.
void Finish(HWND window) {
  int removed = IsPreloaderStaging(*shown) ? RemoveCompanions(*shown) : 0;
  bool posted = shown->Preloader && IsWindow(shown->Preloader) &&
                PostMessageA(shown->Preloader, MSG_INSTALLER_DONE, 0, 0);
  AppendReport("removed companions: " + std::to_string(removed) + "\n" +
               "posted 666: " + (posted ? "yes" : "no") + "\n");
  DestroyWindow(window);
}

LRESULT CALLBACK InstallerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      HWND info = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", Text(*shown).c_str(),
                                  WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 10, 10,
                                  WIDTH - 40, HEIGHT - 100, window, nullptr, nullptr, nullptr);
      HWND button = CreateWindowExA(
          0, "BUTTON", DONE_BUTTON_TEXT, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, WIDTH - 130, HEIGHT - 80,
          100, 28, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(DONE_BUTTON_ID)), nullptr, nullptr);
      SendMessageA(info, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == DONE_BUTTON_ID && HIWORD(wParam) == BN_CLICKED) Finish(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool CreateInstallerWindow(HINSTANCE instance, const StagingView* view) {
  shown = view;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = InstallerProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = WINDOW_CLASS;
  if (!RegisterClassA(&windowClass)) return false;
  // Above the preloader's small window in the screen's middle, so that a
  // screenshot shows both.
  int x = (GetSystemMetrics(SM_CXSCREEN) - WIDTH) / 2;
  HWND window =
      CreateWindowExA(0, WINDOW_CLASS, SAMPLE_INSTALLER_TITLE, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, x, 10,
                      WIDTH, HEIGHT, nullptr, nullptr, instance, nullptr);
  if (!window) return false;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return true;
}
