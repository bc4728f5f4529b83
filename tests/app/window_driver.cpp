// Drives the preloader's windows from outside in the end-to-end tests:
//   window_driver <pid> <action> <report file> <timeout ms>
// Actions:
//   find-window  wait for the waiting window of process <pid>, describe it
//   read-box     wait for a message box of <pid>, describe it
//   answer-box   the same, then press its OK button
//   close        post WM_CLOSE to the waiting window
//   sysclose     choose Close from its system menu (WM_SYSCOMMAND SC_CLOSE)
// Exits with 0 when it found what it looked for, 1 when it did not: on
// time-out, or at once when process <pid> has ended (the report then says
// "process.ended=1").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char PRELOADER_CLASS[] = "Orvane 3D-Preloader";
constexpr char WAITING_TITLE[] = "Bitte warten. Installation wird vorbereitet...";
constexpr char DIALOG_CLASS[] = "#32770";

struct Search {
  DWORD Pid;
  const char* ClassName;
  HWND Found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  if (pid == search->Pid && std::strcmp(name, search->ClassName) == 0 && IsWindowVisible(window)) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

// A text of several lines on the report's one line: "\n" for each break.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return line;
}

// A window's text as UTF-8, whatever the language: read with the wide call.
std::string TextOf(HWND window) {
  wchar_t wide[1024] = L"";
  GetWindowTextW(window, wide, 1024);
  char text[4096] = "";
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

// Waits for a visible top-level window of the class; for the waiting window
// also until its first paint has set the waiting title. Gives up when the
// process has ended: nothing more can come then.
HWND WaitFor(DWORD pid, const char* className, DWORD timeoutMs, bool& ended) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  DWORD start = GetTickCount();
  HWND found = nullptr;
  for (;;) {
    bool over = process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    Search search = {pid, className, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    found = search.Found;
    // The window's first title is its class name, until the first paint
    // sets the waiting title (or a failure its own).
    if (found && (std::strcmp(className, PRELOADER_CLASS) != 0 || TextOf(found) != PRELOADER_CLASS)) break;
    if (over) {
      ended = true;
      found = nullptr;
      break;
    }
    if (GetTickCount() - start > timeoutMs) break;
    Sleep(50);
  }
  if (process) CloseHandle(process);
  return found;
}

BOOL CALLBACK DescribeChild(HWND child, LPARAM param) {
  auto* report = reinterpret_cast<FILE*>(param);
  char name[256] = "";
  GetClassNameA(child, name, sizeof name);
  if (!IsWindowVisible(child)) return TRUE;
  std::string text = TextOf(child);
  if (lstrcmpiA(name, "Button") == 0)
    std::fprintf(report, "box.button=%s|%ld\n", text.c_str(), static_cast<long>(GetDlgCtrlID(child)));
  else if (lstrcmpiA(name, "Static") == 0 && !text.empty())
    std::fprintf(report, "box.text=%s\n", OneLine(text).c_str());
  return TRUE;
}

void DescribeWindow(FILE* report, HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  RECT r = {};
  GetWindowRect(window, &r);
  std::fprintf(report, "window.handle=%lu\n",
               static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)));
  std::fprintf(report, "window.class=%s\n", name);
  std::fprintf(report, "window.title=%s\n", TextOf(window).c_str());
  std::fprintf(report, "window.owner=%lu\n",
               static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(GetWindow(window, GW_OWNER))));
  std::fprintf(report, "window.style=%lu\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
  std::fprintf(report, "window.rect=%ld %ld %ld %ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
               static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  DWORD pid = std::strtoul(argv[1], nullptr, 10);
  std::string action = argv[2];
  DWORD timeoutMs = std::strtoul(argv[4], nullptr, 10);
  FILE* report = std::fopen(argv[3], "w");
  if (!report) return 2;

  bool box = action == "read-box" || action == "answer-box";
  bool ended = false;
  HWND window = WaitFor(pid, box ? DIALOG_CLASS : PRELOADER_CLASS, timeoutMs, ended);
  if (!window) {
    std::fprintf(report, "found=0\n");
    if (ended) std::fprintf(report, "process.ended=1\n");
    std::fclose(report);
    return 1;
  }
  std::fprintf(report, "found=1\n");
  DescribeWindow(report, window);
  if (box) EnumChildWindows(window, DescribeChild, reinterpret_cast<LPARAM>(report));
  if (action == "answer-box") {
    HWND ok = GetDlgItem(window, IDOK);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  } else if (action == "close") {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else if (action == "sysclose") {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  std::fclose(report);
  return 0;
}
