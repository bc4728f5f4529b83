// The demo's hands inside Wine:
//   demo_driver wait-title TITLE SECONDS    prints the handle of the top-level window so titled
//   demo_driver wait-class CLASS SECONDS    the same by window class
//   demo_driver press TITLE BUTTON          clicks the button so labelled in that window
//   demo_driver post HANDLE MESSAGE         posts a message, as an installer would
//   demo_driver wait-exit PROGRAM SECONDS   waits until no process of that file name runs
// Exits 0 on success, 1 on time-out or when nothing matched, 2 on bad usage.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned long long HandleNumber(HWND window) {
  return static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window));
}

template <class Find>
int WaitForWindow(Find find, const char* seconds) {
  DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(seconds)) * 1000;
  do {
    HWND window = find();
    if (window && IsWindowVisible(window)) {
      std::printf("%llu\n", HandleNumber(window));
      return 0;
    }
    Sleep(100);
  } while (static_cast<LONG>(deadline - GetTickCount()) > 0);
  return 1;
}

bool ProgramRuns(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
    found = lstrcmpiA(entry.szExeFile, name) == 0;
  CloseHandle(snapshot);
  return found;
}

int Press(const char* title, const char* label) {
  HWND window = FindWindowA(nullptr, title);
  HWND button = window ? FindWindowExA(window, nullptr, "Button", label) : nullptr;
  if (!button) return 1;
  // The click as the button itself reports it to its window.
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "wait-title") == 0)
    return WaitForWindow([&] { return FindWindowA(nullptr, argv[2]); }, argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "wait-class") == 0)
    return WaitForWindow([&] { return FindWindowA(argv[2], nullptr); }, argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "press") == 0) return Press(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "post") == 0) {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[2], nullptr, 10)));
    return PostMessageA(window, static_cast<UINT>(std::atoi(argv[3])), 0, 0) ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "wait-exit") == 0) {
    DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3])) * 1000;
    while (ProgramRuns(argv[2])) {
      if (static_cast<LONG>(deadline - GetTickCount()) <= 0) return 1;
      Sleep(200);
    }
    return 0;
  }
  std::fprintf(stderr, "usage: demo_driver wait-title|wait-class|press|post|wait-exit ...\n");
  return 2;
}
