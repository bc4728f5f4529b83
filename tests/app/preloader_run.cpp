#include "preloader_run.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "test_files.h"

namespace {

// Limits for events, far above what they take on a busy machine; a driver
// stops looking as soon as the preloader has ended.
constexpr DWORD DRIVER_TIMEOUT_MS = 60000;
constexpr DWORD RUN_TIMEOUT_MS = 60000;
// How often a program that did not start is tried again; each failure is
// in the run's record.
constexpr int START_TRIES = 3;

// The build hands over Linux paths; Wine sees the Linux root as Z:.
std::string WindowsPath(const char* path) {
  std::string out = path;
  if (!out.empty() && out[0] == '/') out = "Z:" + out;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The process's own environment with TMP and TEMP pointing at tempDir
// (with its trailing backslash), as a block of UTF-16 strings.
std::wstring UnicodeEnvironmentWithTemp(const std::wstring& tempDir, const std::wstring& report) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
    if (_wcsnicmp(p, L"TMP=", 4) == 0 || _wcsnicmp(p, L"TEMP=", 5) == 0) continue;
    block.append(p).push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  std::wstring dir = tempDir.substr(0, tempDir.size() - 1);
  block.append(L"TMP=" + dir).push_back(L'\0');
  block.append(L"TEMP=" + dir).push_back(L'\0');
  block.append(L"STANDIN_REPORT=" + report).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

std::wstring Widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The process's own environment with TMP and TEMP pointing at tempDir, and
// the stand-in installer's report (for containers whose STANDIN.CFG names
// none).
std::string EnvironmentWithTemp(const std::string& tempDir, const std::string& report) {
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
  block.append("STANDIN_REPORT=" + report).push_back('\0');
  block.push_back('\0');
  return block;
}

// The run's record: each line with the seconds since the run began.
class StepLog {
 public:
  explicit StepLog(std::vector<std::string>& steps) : steps_(steps), start_(GetTickCount()) {}
  void Add(const std::string& what) {
    char at[32];
    std::snprintf(at, sizeof at, "%7.3f s  ", (GetTickCount() - start_) / 1000.0);
    steps_.push_back(at + what);
  }

 private:
  std::vector<std::string>& steps_;
  DWORD start_;
};

struct Started {
  HANDLE Process = nullptr;
  DWORD Pid = 0;
  DWORD Error = 0;  // GetLastError of a start that failed
};

// An environment of either kind: narrow strings, or UTF-16 ones.
struct Environment {
  const std::string* Narrow = nullptr;
  const std::wstring* Wide = nullptr;
};

// The window station of the non-interactive runs: not the user's visible
// one. Made once, and kept for the test program's life.
const char NON_INTERACTIVE_DESKTOP[] = "PreloaderNonInteractive\\Default";

Started StartOnce(const std::string& exe, const std::string& commandLine, const std::string& cwd,
                  Environment environment, bool nonInteractive = false) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (nonInteractive) {
    static HWINSTA station = CreateWindowStationA("PreloaderNonInteractive", 0, WINSTA_ALL_ACCESS, nullptr);
    (void)station;
    startup.lpDesktop = const_cast<char*>(NON_INTERACTIVE_DESKTOP);
  }
  PROCESS_INFORMATION info = {};
  std::string line = commandLine;
  void* block = environment.Wide     ? static_cast<void*>(const_cast<wchar_t*>(environment.Wide->data()))
                : environment.Narrow ? static_cast<void*>(const_cast<char*>(environment.Narrow->data()))
                                     : nullptr;
  DWORD flags = environment.Wide ? CREATE_UNICODE_ENVIRONMENT : 0;
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, flags, block, cwd.c_str(), &startup,
                      &info)) {
    Started failed;
    failed.Error = GetLastError();
    return failed;
  }
  CloseHandle(info.hThread);
  return {info.hProcess, info.dwProcessId, 0};
}

// A start that fails is the test machine's trouble, not the program's: it
// is recorded and tried again.
Started Start(const std::string& what, const std::string& exe, const std::string& commandLine,
              const std::string& cwd, Environment environment, StepLog& log, bool nonInteractive = false) {
  Started started;
  for (int attempt = 1; attempt <= START_TRIES; ++attempt) {
    started = StartOnce(exe, commandLine, cwd, environment, nonInteractive);
    if (started.Process) break;
    log.Add(what + " did not start, error " + std::to_string(started.Error));
    // A pause between tries, not a wait for anything: a start refused by a
    // busy machine has no event to wait on. None after the last try.
    if (attempt < START_TRIES) Sleep(500);
  }
  return started;
}

// Runs the window driver for one action and waits for it; its report says
// what it found. The driver gives up after timeoutMs, so its own end is
// waited for a good while longer.
Report Drive(const std::string& caseDir, DWORD pid, const std::string& action, DWORD timeoutMs,
             StepLog& log) {
  std::string exe = WindowsPath(WINDOW_DRIVER_EXE);
  std::string report = caseDir + "driver-" + action + ".txt";
  Started driver = Start("window driver " + action, exe,
                         Quoted(exe) + " " + std::to_string(pid) + " " + action + " " + Quoted(report) + " " +
                             std::to_string(timeoutMs),
                         caseDir, Environment{}, log);
  if (!driver.Process) return Report::Read(report);
  DWORD wait = WaitForSingleObject(driver.Process, timeoutMs + 30000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(driver.Process, &code);
  CloseHandle(driver.Process);
  Report found = Report::Read(report);
  log.Add("window driver " + action + ": " +
          (wait == WAIT_OBJECT_0 ? "exit code " + std::to_string(code) : std::string("still running")) +
          ", found=" + (found.Exists() ? found.Get("found") : std::string("(no report)")) +
          (found.Get("process.ended") == "1" ? ", SETUP.EXE had ended" : ""));
  return found;
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
void CollectEnd(HANDLE process, const std::string& installerPath, PreloaderRun& run, StepLog& log) {
  bool seen = false;
  DWORD start = GetTickCount();
  for (;;) {
    DWORD wait = WaitForSingleObject(process, 20);
    if (GetFileAttributesA(installerPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (!seen) log.Add("INSTALL.EXE is there");
      seen = true;
    } else if (seen && !run.InstallerGoneTime) {
      run.InstallerGoneTime = Now();
      log.Add("INSTALL.EXE is gone");
    }
    if (wait == WAIT_OBJECT_0) break;
    if (GetTickCount() - start > RUN_TIMEOUT_MS) {
      log.Add("SETUP.EXE still runs after " + std::to_string(RUN_TIMEOUT_MS / 1000) + " s: terminated");
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 5000);
      return;
    }
  }
  run.Ended = true;
  GetExitCodeProcess(process, &run.ExitCode);
  log.Add("SETUP.EXE ended, exit code " + std::to_string(run.ExitCode));
}

}  // namespace

std::string SetupExePath() { return WindowsPath(SETUP_EXE); }
std::string SignedMediumDir() { return WindowsPath(SIGNED_MEDIUM_DIR) + "\\"; }
std::string PublisherIconPath() { return WindowsPath(PUBLISHER_ICON); }
std::string StandinExePath() { return WindowsPath(STANDIN_INSTALLER_EXE); }
std::string AllTakenDir() { return WindowsPath(ALL_TAKEN_DIR) + "\\"; }
std::string SmallTempDir() { return WindowsPath(SMALL_TEMP_DIR) + "\\temp\\"; }
std::string ImmutableTempDir() { return WindowsPath(IMMUTABLE_TEMP_DIR) + "\\"; }
std::string FailingMediumDir() { return WindowsPath(FAILING_MEDIUM_DIR) + "\\"; }
namespace {
// What a fixture left beside `path` when it could not make it.
std::string UnavailableReason(const char* path) {
  std::string marker = WindowsPath(path) + ".unavailable";
  if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) return "";
  Bytes why = ReadWholeFile(marker);
  return std::string(why.begin(), why.end());
}
}  // namespace

std::string FailingMediumUnavailable() { return UnavailableReason(FAILING_MEDIUM_DIR); }
std::string ImmutableTempUnavailable() { return UnavailableReason(IMMUTABLE_TEMP_DIR); }
std::string FailingMediumSource() { return WindowsPath(FAILING_MEDIUM_SOURCE) + "\\"; }

namespace {

// The host's path of a Windows path, from Wine.
std::string UnixPath(const std::string& windowsPath) {
  typedef char*(CDECL * UnixFileName)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return "";
  char* name = unixName(Widened(windowsPath).c_str());
  std::string path = name ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return path;
}

// Runs `script` with the host's shell, with `arguments` as $1, $2, ...;
// true when it exits with 0. Wine starts a Linux program like any other,
// but hands back no handle to wait on: the script's last act is to write
// its exit status to a file, which is waited for.
bool RunOnHost(const std::string& caseDir, const std::string& script,
               const std::vector<std::string>& arguments, StepLog& log) {
  const std::string file = caseDir + "host-step.sh", status = caseDir + "host-step.status";
  DeleteFileA(status.c_str());
  WriteWholeFile(
      file, BytesOf("(" + script + ")\necho $? > \"$0.new\"; mv \"$0.new\" \"" + UnixPath(status) + "\"\n"));
  std::string line = "/bin/sh " + Quoted(UnixPath(file));
  for (const std::string& argument : arguments) line += " " + Quoted(argument);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, caseDir.c_str(), &startup,
                      &info)) {
    log.Add("the host's shell did not start, error " + std::to_string(GetLastError()));
    return false;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  // Woken by each new name in the case's directory; the timeout only
  // bounds a wait whose notification was missed.
  HANDLE change = FindFirstChangeNotificationA(caseDir.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > RUN_TIMEOUT_MS) {
      log.Add("the host's shell did not finish: " + script);
      if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
      return false;
    }
    if (change == INVALID_HANDLE_VALUE || WaitForSingleObject(change, 100) != WAIT_OBJECT_0) continue;
    FindNextChangeNotification(change);
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  Bytes code = ReadWholeFile(status);
  bool ok = !code.empty() && code[0] == '0';
  if (!ok) log.Add("the host's shell failed on " + script);
  return ok;
}

// The plan with every Windows path in it (a word with ":\\") as the host's.
std::string HostPlan(const std::string& plan) {
  std::string out, word;
  for (std::size_t i = 0; i <= plan.size(); ++i) {
    if (i < plan.size() && plan[i] != ' ') {
      word += plan[i];
      continue;
    }
    if (!out.empty()) out += ' ';
    out += word.find(":\\") != std::string::npos ? UnixPath(word) : word;
    word.clear();
  }
  return out;
}

const char LINK_C_TEMP[] =
    "set -e; t=\"$1\"; if [ -e \"$t\" ] || [ -L \"$t\" ]; then mv -T \"$t\" \"$t.aside\"; fi; "
    "mkdir -p \"$2\"; ln -s \"$2\" \"$t\"";
const char RESTORE_C_TEMP[] =
    "readlink \"$1\" > \"$2\" || true; rm -f \"$1\"; "
    "if [ -e \"$1.aside\" ] || [ -L \"$1.aside\" ]; then mv -T \"$1.aside\" \"$1\"; fi";

}  // namespace

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
  StepLog log(run.Steps);
  bool failing = !scenario.MediumPlan.empty();
  run.MediumDir = failing ? FailingMediumDir() : caseDir + "medium\\";
  // Where the medium's files are written: the failing medium only shows them.
  std::string mediumSource = failing ? FailingMediumSource() : run.MediumDir;
  run.TempDir = scenario.TempDir.empty() ? caseDir + "temp\\" : scenario.TempDir;
  run.ReportPath = caseDir + "installer-report.txt";
  if (!scenario.TempDir.empty() && GetFileAttributesA(run.TempDir.c_str()) == INVALID_FILE_ATTRIBUTES) {
    log.Add("the temporary location " + run.TempDir + " was not made beforehand: SETUP.EXE not started");
    return run;
  }
  CreateDirectoryA(mediumSource.c_str(), nullptr);
  CreateDirectoryA(run.TempDir.c_str(), nullptr);
  for (const auto& preset : scenario.PresetTemp) {
    if (preset.first.back() == '\\')
      CreateDirectoryA((run.TempDir + preset.first).c_str(), nullptr);
    else
      WriteWholeFile(run.TempDir + preset.first, preset.second);
  }

  std::string setup = run.MediumDir + "SETUP.EXE";
  std::string program = scenario.Program.empty() ? SetupExePath() : scenario.Program;
  if (!CopyFileA(program.c_str(), (mediumSource + "SETUP.EXE").c_str(), FALSE))
    log.Add("copying SETUP.EXE failed, error " + std::to_string(GetLastError()));
  if (scenario.WithArchive) WriteWholeFile(mediumSource + "SETUP.TMP", scenario.Archive);
  if (failing) WriteWholeFile(WindowsPath(FAILING_MEDIUM_GONE_AT), BytesOf(HostPlan(scenario.MediumPlan)));
  // c:\\temp\\ is put back on every way out once it was made a link.
  const std::string cTemp = UnixPath("c:\\temp");
  struct CTempRestored {
    const Scenario& Setup;
    const std::string& CaseDir;
    const std::string& CTemp;
    PreloaderRun& Run;
    StepLog& Log;
    ~CTempRestored() {
      if (Setup.CTempLinkTo.empty()) return;
      const std::string record = CaseDir + "c-temp-at-end.txt";
      RunOnHost(CaseDir, RESTORE_C_TEMP, {CTemp, UnixPath(record)}, Log);
      Bytes target = ReadWholeFile(record);
      Run.CTempLinkAtEnd.assign(target.begin(), target.end());
      while (!Run.CTempLinkAtEnd.empty() && Run.CTempLinkAtEnd.back() == '\n') Run.CTempLinkAtEnd.pop_back();
    }
  } restored{scenario, caseDir, cTemp, run, log};
  if (!scenario.CTempLinkTo.empty() &&
      !RunOnHost(caseDir, LINK_C_TEMP, {cTemp, UnixPath(scenario.CTempLinkTo)}, log))
    return run;

  std::string environment = EnvironmentWithTemp(run.TempDir, run.ReportPath);
  std::wstring unicodeEnvironment;
  Environment chosen{&environment, nullptr};
  if (!scenario.UnicodeTempName.empty()) {
    std::wstring unicodeTemp = Widened(caseDir) + scenario.UnicodeTempName + L"\\";
    CreateDirectoryW(unicodeTemp.c_str(), nullptr);
    unicodeEnvironment = UnicodeEnvironmentWithTemp(unicodeTemp, Widened(run.ReportPath));
    chosen = Environment{nullptr, &unicodeEnvironment};
  }
  std::string commandLine = Quoted(setup);
  if (!scenario.Arguments.empty()) commandLine += " " + scenario.Arguments;
  Started preloader = Start("SETUP.EXE", setup, commandLine, caseDir, chosen, log, scenario.NonInteractive);
  if (!preloader.Process) return run;
  log.Add("SETUP.EXE started, process " + std::to_string(preloader.Pid));

  Driving drive = scenario.Drive;
  bool box = drive == Driving::AnswerBox || drive == Driving::AnswerBoxThenCloseWhenIdle;
  bool close = drive == Driving::CloseWhenIdle || drive == Driving::AnswerBoxThenCloseWhenIdle;
  if (box) {
    run.Box = Drive(caseDir, preloader.Pid, "read-box", DRIVER_TIMEOUT_MS, log);
    run.InstallerRanBeforeBoxAnswered = GetFileAttributesA(run.ReportPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    run.TempTreeWhileBox = ListTree(run.TempDir);
    Drive(caseDir, preloader.Pid, "answer-box", DRIVER_TIMEOUT_MS, log);
  }
  if ((!box || close) && drive != Driving::Unattended)
    run.Window = Drive(caseDir, preloader.Pid, "find-window", DRIVER_TIMEOUT_MS, log);
  if (close) {
    // Idle means waiting in the message loop: the extraction and the
    // hand-off, which run before it, are over.
    DWORD idle = WaitForInputIdle(preloader.Process, DRIVER_TIMEOUT_MS);
    log.Add(idle == 0 ? "SETUP.EXE waits for input" : "SETUP.EXE never became idle: " + std::to_string(idle));
    run.StillRunningWhenIdle = WaitForSingleObject(preloader.Process, scenario.IdleMs) == WAIT_TIMEOUT;
    log.Add(run.StillRunningWhenIdle ? "SETUP.EXE still runs after the idle wait"
                                     : "SETUP.EXE ended by itself");
    run.TempTreeWhileIdle = ListTree(run.TempDir);
    Drive(caseDir, preloader.Pid, "sysclose", DRIVER_TIMEOUT_MS, log);
  }
  CollectEnd(preloader.Process, run.TempDir + scenario.StagingName + "INSTALL.EXE", run, log);
  CloseHandle(preloader.Process);

  run.Installer = Report::Read(run.ReportPath);
  run.TempTree = ListTree(run.TempDir);
  run.MediumTree = ListTree(run.MediumDir);
  return run;
}
