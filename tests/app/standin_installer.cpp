// Stands in for INSTALL.EXE in the end-to-end tests. The preloader extracts
// it with a STANDIN.CFG beside it:
//   [standin]
//   mode=once | twice | silent | empty-dir
//   report=<file for what it saw>
// It records its command line, Install.ini as the profile reader sees it,
// the files beside it, its directory's DACL (as SDDL) and its own user's
// SID, and the preloader's window, then answers with 666 as
// the mode says: once, twice 2 s apart, not at all, or once after deleting
// every other file of its directory.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "user_sid.h"

namespace {

constexpr UINT INSTALLER_DONE = 666;

std::string OwnDirectory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\') + 1);
}

std::string Profile(const char* section, const char* key, const std::string& file) {
  char value[1024];
  GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
  return value;
}

// A double-zero-terminated list from the profile reader, joined with '|'.
std::string JoinList(const char* list) {
  std::string joined;
  for (const char* p = list; *p; p += std::strlen(p) + 1) {
    if (!joined.empty()) joined += '|';
    joined += p;
  }
  return joined;
}

std::string LocalTimeText(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &st);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond);
  return text;
}

std::uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

struct Entry {
  std::string Name;
  unsigned long long Size;
  std::string Time;
};

std::vector<Entry> FilesIn(const std::string& dir) {
  std::vector<Entry> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files.push_back({found.cFileName,
                     (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                     LocalTimeText(found.ftLastWriteTime)});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

// The DACL of `path` in the system's string form, "" when it cannot be read.
std::string DaclText(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return "";
  char* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                       &text, nullptr);
  std::string dacl = text ? text : "";
  LocalFree(text);
  LocalFree(descriptor);
  return dacl;
}

void DescribeWindow(FILE* report, HWND window) {
  char text[512] = "";
  GetClassNameA(window, text, sizeof text);
  std::fprintf(report, "window.class=%s\n", text);
  text[0] = 0;
  GetWindowTextA(window, text, sizeof text);
  std::fprintf(report, "window.title=%s\n", text);
  std::fprintf(report, "window.style=%lu\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
  std::fprintf(report, "window.exstyle=%lu\n",
               static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
  std::fprintf(report, "window.visible=%d\n", IsWindowVisible(window) ? 1 : 0);
  RECT r = {};
  GetWindowRect(window, &r);
  std::fprintf(report, "window.rect=%ld %ld %ld %ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
               static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  std::fprintf(report, "window.pid=%lu\n", static_cast<unsigned long>(pid));
  std::fprintf(report, "class.style=%lu\n", static_cast<unsigned long>(GetClassLongA(window, GCL_STYLE)));
  std::fprintf(report, "class.extra=%ld\n", static_cast<long>(GetClassLongA(window, GCL_CBWNDEXTRA)));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string dir = OwnDirectory();
  std::string config = dir + "STANDIN.CFG";
  std::string mode = Profile("standin", "mode", config);
  // A container made apart from the test (the signed medium) names no
  // report; the test's environment then does.
  std::string reportPath = Profile("standin", "report", config);
  char fromEnvironment[MAX_PATH] = "";
  if (reportPath.empty() && GetEnvironmentVariableA("STANDIN_REPORT", fromEnvironment, MAX_PATH) < MAX_PATH)
    reportPath = fromEnvironment;
  FILE* report = std::fopen(reportPath.c_str(), "w");
  if (!report) return 2;

  const char* commandLine = GetCommandLineA();
  std::fprintf(report, "command_line=%s\n", commandLine);
  // The DLL search it was given: SetDllDirectoryA's setting, which a
  // started process inherits ("" when there is none), and the current
  // directory (the DLL search's last place).
  char dllDirectory[MAX_PATH] = "";
  DWORD dllLength = GetDllDirectoryA(MAX_PATH, dllDirectory);
  std::fprintf(report, "dll_directory=%s\n", dllLength ? dllDirectory : "");
  char currentDirectory[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, currentDirectory);
  std::fprintf(report, "current_directory=%s\n", currentDirectory);
  const char* blank = std::strrchr(commandLine, ' ');
  HWND window =
      blank ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(blank + 1, nullptr, 10)))
            : nullptr;

  std::string ini = dir + "Install.ini";
  char list[4096] = "";
  GetPrivateProfileSectionNamesA(list, sizeof list, ini.c_str());
  std::fprintf(report, "ini.sections=%s\n", JoinList(list).c_str());
  list[0] = list[1] = 0;
  GetPrivateProfileSectionA("STANDARD", list, sizeof list, ini.c_str());
  std::fprintf(report, "ini.standard=%s\n", JoinList(list).c_str());
  std::fprintf(report, "ini.inst_path=%s\n", Profile("STANDARD", "INST_PATH", ini).c_str());

  for (const Entry& e : FilesIn(dir))
    std::fprintf(report, "file=%s|%llu|%s\n", e.Name.c_str(), e.Size, e.Time.c_str());
  std::fprintf(report, "dir.dacl=%s\n", DaclText(dir.substr(0, dir.size() - 1)).c_str());
  std::fprintf(report, "user.sid=%s\n", CurrentUserSid().c_str());
  DescribeWindow(report, window);

  if (mode == "empty-dir") {
    char own[MAX_PATH];
    GetModuleFileNameA(nullptr, own, sizeof own);
    for (const Entry& e : FilesIn(dir))
      if (lstrcmpiA((dir + e.Name).c_str(), own) != 0) DeleteFileA((dir + e.Name).c_str());
  }

  // The parameters are ours to pick; the preloader has to ignore them.
  if (mode == "once" || mode == "twice" || mode == "empty-dir") {
    std::fprintf(report, "posted=%" PRIu64 "\n", Now());
    std::fflush(report);
    PostMessageA(window, INSTALLER_DONE, 0x1234, 0x5678);
  }
  if (mode == "twice") {
    Sleep(2000);
    std::fprintf(report, "posted=%" PRIu64 "\n", Now());
    std::fflush(report);
    PostMessageA(window, INSTALLER_DONE, 0, static_cast<LPARAM>(-1));
  }
  std::fprintf(report, "done=1\n");
  std::fclose(report);
  return 0;
}
