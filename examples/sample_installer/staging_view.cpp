#include "staging_view.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string OwnPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length < sizeof path ? length : 0);
}

}  // namespace

StagingView LookAround(const char* arguments) {
  StagingView view;
  view.CommandLine = GetCommandLineA();
  char* end = nullptr;
  unsigned long long handle = std::strtoull(arguments ? arguments : "", &end, 10);
  if (end && end != arguments) view.Preloader = reinterpret_cast<HWND>(static_cast<UINT_PTR>(handle));

  std::string own = OwnPath();
  std::size_t slash = own.find_last_of("\\/");
  view.Directory = own.substr(0, slash + 1);
  view.OwnName = own.substr(slash + 1);

  std::string ini = view.Directory + "Install.ini";
  char value[1024] = "";
  view.HasIni = GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES;
  GetPrivateProfileStringA("STANDARD", "INST_PATH", "", value, sizeof value, ini.c_str());
  view.InstPath = value;

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((view.Directory + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      unsigned long long size =
          (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      view.Files.push_back({found.cFileName, size});
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return view;
}

bool IsPreloaderStaging(const StagingView& view) {
  if (!view.HasIni || view.Directory.size() < 2) return false;
  std::string parent = view.Directory.substr(0, view.Directory.size() - 1);
  std::string name = parent.substr(parent.find_last_of("\\/") + 1);
  const std::string base = "_Orvane3d";
  if (name.compare(0, base.size(), base) != 0 || name.size() == base.size()) return false;
  for (std::size_t i = base.size(); i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

int RemoveCompanions(const StagingView& view) {
  int removed = 0;
  for (const StagedFile& file : view.Files)
    if (lstrcmpiA(file.Name.c_str(), view.OwnName.c_str()) != 0 &&
        DeleteFileA((view.Directory + file.Name).c_str()))
      ++removed;
  return removed;
}

void AppendReport(const std::string& lines) {
  const char* path = std::getenv("SAMPLE_INSTALLER_REPORT");
  if (!path || !*path) return;
  FILE* report = std::fopen(path, "ab");
  if (!report) return;
  std::fwrite(lines.data(), 1, lines.size(), report);
  std::fclose(report);
}

std::string DescribeForReport(const StagingView& view) {
  char handle[32];
  std::snprintf(handle, sizeof handle, "%llu",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(view.Preloader)));
  std::string text = "command line: " + view.CommandLine + "\n" + "window handle: " + handle + "\n" +
                     "directory: " + view.Directory + "\n" + "INST_PATH: " + view.InstPath + "\n";
  for (const StagedFile& file : view.Files)
    text += "file: " + file.Name + " (" + std::to_string(file.Size) + " bytes)\n";
  return text;
}
