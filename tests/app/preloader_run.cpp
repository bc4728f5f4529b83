#include "preloader_run.h"

#include <cstring>

#include "test_files.h"

namespace {

constexpr DWORD DRIVER_TIMEOUT_MS = 20000;
constexpr DWORD RUN_TIMEOUT_MS = 30000;

// The build hands over Linux paths; Wine sees the Linux root as Z:.
std::string WindowsPath(const char* path) {
  std::string out = path;
  if (!out.empty() && out[0] == '/') out = "Z:" + out;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The process's own environment with TMP and TEMP pointing at tempDir.
std::string EnvironmentWithTemp(const std::string& tempDir) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* p = strings; *p; p += std::strlen(p) + 1) {
    if (_strnicmp(p, "TMP=", 4) == 0 || _strnicmp(p, "TEMP=", 5) == 0) continue;
    block.append(p).push_back('\0');
  }
  FreeEnvironmentStringsA(strings);
  std::string dir = tempDir.substr(0, tempDir.size() - 1);
  block.append("TMP=" + dir).push_back('\0');
  block.append("TEMP=" + dir).push_back('\0');
  block.push_back('\0');
  return block;
}

struct Started {
  HANDLE Process = nullptr;
  DWORD Pid = 0;
};

Started Start(const std::string& exe, const std::string& commandLine, const std::string& cwd,
              const std::string* environment) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string line = commandLine;
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                      environment ? const_cast<char*>(environment->data()) : nullptr, cwd.c_str(),
                      &startup, &info))
    return {};
  CloseHandle(info.hThread);
  return {info.hProcess, info.dwProcessId};
}

Report Drive(const std::string& caseDir, DWORD pid, const std::string& action, DWORD timeoutMs) {
  std::string exe = WindowsPath(WINDOW_DRIVER_EXE);
  std::string report = caseDir + "driver-" + action + ".txt";
  Started driver = Start(exe,
                         Quoted(exe) + " " + std::to_string(pid) + " " + action + " " +
                             Quoted(report) + " " + std::to_string(timeoutMs),
                         caseDir, nullptr);
  if (driver.Process) {
    WaitForSingleObject(driver.Process, timeoutMs + 10000);
    CloseHandle(driver.Process);
  }
  return Report::Read(report);
}

void ListInto(const std::string& root, const std::string& relative, Tree& tree) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((root + relative + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[relative + name + "\\"] = -1;
      ListInto(root, relative + name + "\\", tree);
    } else {
      tree[relative + name] = (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

std::uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FileTimeToNumber(now);
}

// Waits for the end of the run and watches the installer's file meanwhile:
// the moment it goes is the moment of the clean-up.
void CollectEnd(HANDLE process, const std::string& installerPath, PreloaderRun& run) {
  bool seen = false;
  DWORD start = GetTickCount();
  for (;;) {
    DWORD wait = WaitForSingleObject(process, 20);
    if (GetFileAttributesA(installerPath.c_str()) != INVALID_FILE_ATTRIBUTES)
      seen = true;
    else if (seen && !run.InstallerGoneTime)
      run.InstallerGoneTime = Now();
    if (wait == WAIT_OBJECT_0) break;
    if (GetTickCount() - start > RUN_TIMEOUT_MS) {
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 5000);
      return;
    }
  }
  run.Ended = true;
  GetExitCodeProcess(process, &run.ExitCode);
}

}  // namespace

std::string SetupExePath() { return WindowsPath(SETUP_EXE); }
std::string SignedSetupExePath() { return WindowsPath(SIGNED_SETUP_EXE); }
std::string StandinExePath() { return WindowsPath(STANDIN_INSTALLER_EXE); }

std::uint64_t FileTimeToNumber(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

Tree ListTree(const std::string& dir) {
  Tree tree;
  ListInto(dir, "", tree);
  return tree;
}

PreloaderRun RunPreloader(const Scenario& scenario, const std::string& caseDir) {
  PreloaderRun run;
  run.MediumDir = caseDir + "medium\\";
  run.TempDir = caseDir + "temp\\";
  run.ReportPath = caseDir + "installer-report.txt";
  CreateDirectoryA(run.MediumDir.c_str(), nullptr);
  CreateDirectoryA(run.TempDir.c_str(), nullptr);
  for (const std::string& name : scenario.PresetTempFiles) WriteWholeFile(run.TempDir + name, BytesOf(name));

  std::string setup = run.MediumDir + "SETUP.EXE";
  CopyFileA((scenario.Program.empty() ? SetupExePath() : scenario.Program).c_str(), setup.c_str(), FALSE);
  if (scenario.WithArchive) WriteWholeFile(run.MediumDir + "SETUP.TMP", scenario.Archive);

  std::string environment = EnvironmentWithTemp(run.TempDir);
  std::string commandLine = Quoted(setup);
  if (!scenario.Arguments.empty()) commandLine += " " + scenario.Arguments;
  Started preloader = Start(setup, commandLine, caseDir, &environment);
  if (!preloader.Process) return run;

  switch (scenario.Drive) {
    case Driving::WaitForExit:
      run.Window = Drive(caseDir, preloader.Pid, "find-window", DRIVER_TIMEOUT_MS);
      break;
    case Driving::AnswerBox:
      run.Box = Drive(caseDir, preloader.Pid, "read-box", DRIVER_TIMEOUT_MS);
      run.InstallerRanBeforeBoxAnswered = GetFileAttributesA(run.ReportPath.c_str()) != INVALID_FILE_ATTRIBUTES;
      run.TempTreeWhileBox = ListTree(run.TempDir);
      Drive(caseDir, preloader.Pid, "answer-box", DRIVER_TIMEOUT_MS);
      break;
    case Driving::CloseWhenIdle:
      run.Window = Drive(caseDir, preloader.Pid, "find-window", DRIVER_TIMEOUT_MS);
      run.StillRunningWhenIdle = WaitForSingleObject(preloader.Process, scenario.IdleMs) == WAIT_TIMEOUT;
      run.TempTreeWhileIdle = ListTree(run.TempDir);
      Drive(caseDir, preloader.Pid, "sysclose", DRIVER_TIMEOUT_MS);
      break;
  }
  CollectEnd(preloader.Process, run.TempDir + scenario.StagingName + "INSTALL.EXE", run);
  CloseHandle(preloader.Process);

  run.Installer = Report::Read(run.ReportPath);
  run.TempTree = ListTree(run.TempDir);
  run.MediumTree = ListTree(run.MediumDir);
  return run;
}
