// Benchmarks of the 32-bit product under the 32-bit Wine: Decode as
// SETUP.EXE runs it (the decode probe, built for 32-bit Windows, times
// itself), and SETUP.EXE from its start to the installer's start, beside a
// plain copy of the same bytes by the same Wine. scripts/bench builds the
// Windows programs, starts a display and the prefix's wineserver and names
// the programs in the environment; without them these are skipped.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corpus.h"
#include "wine_bench.h"

namespace fs = std::filesystem;

namespace {

// The 128 MiB payload beside the installer: text and executables, which
// pack to about a third.
constexpr std::size_t PAYLOAD_SIZE = 4 * CORPUS_SIZE;
const CorpusKind kPayloadKinds[] = {CorpusKind::Text, CorpusKind::Binary, CorpusKind::Text,
                                    CorpusKind::Binary};

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// The 32-bit product runs here only under an emulator of i386 code, whose
// speed says nothing of the product's.
constexpr char EMULATED[] = "emulated: not timed";

// The path as Wine's drive Z: (the root of the host) names it.
std::string WinePath(const std::string& path) {
  std::string windows = "Z:" + fs::absolute(path).string();
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Decode of one member file to file, timed inside the 32-bit probe: one run
// to warm up, then one per iteration.
void BM_DecodeWin32(benchmark::State& state, CorpusKind kind) {
  if (Env("PRELOADER_WINE_EMULATED")) return state.SkipWithError(EMULATED);
  const char* probe = Env("PRELOADER_WINE_DECODE_PROBE");
  if (!probe) return state.SkipWithError("PRELOADER_WINE_DECODE_PROBE not set");
  const std::string& member = CorpusMember(kind);
  const std::string out = BenchScratchFile("decode-win32.out");
  const std::string report = BenchScratchFile("decode-win32.times");
  // The probe also holds the last output to the corpus, byte for byte.
  const std::string command = "wine " + Quoted(probe) + " " + Quoted(WinePath(member)) + " " +
                              Quoted(WinePath(out)) + " " + std::to_string(state.max_iterations + 1) + " " +
                              Quoted(WinePath(CorpusFile(kind))) + " >" + Quoted(report) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0)
    return state.SkipWithError("the 32-bit decode probe failed or differed");
  std::vector<double> seconds;
  std::ifstream lines(report);
  double s;
  int result;
  while (lines >> s >> result) seconds.push_back(s);
  if (seconds.size() != static_cast<std::size_t>(state.max_iterations + 1))
    return state.SkipWithError("the 32-bit decode probe reported too few runs");
  std::size_t next = 1;
  for (auto _ : state) state.SetIterationTime(seconds[next++]);
  std::remove(out.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

// A medium: SETUP.EXE and SETUP.TMP with the timing installer as
// INSTALL.EXE and, unless `alone`, the payload. Made once per run of the
// benchmarks.
struct Medium {
  std::string Directory;
  std::string Payload;  // the 128 MiB file
};

const Medium* MakeMedium(benchmark::State& state, bool alone = false) {
  static Medium media[2];
  static bool made[2] = {false, false};
  Medium& medium = media[alone];
  if (made[alone]) return &medium;
  if (Env("PRELOADER_WINE_EMULATED")) {
    state.SkipWithError(EMULATED);
    return nullptr;
  }
  const char* setup = Env("PRELOADER_WINE_SETUP");
  const char* installer = Env("PRELOADER_WINE_INSTALLER");
  const char* setuppack = Env("PRELOADER_SETUPPACK");
  if (!setup || !installer || !setuppack) {
    state.SkipWithError("PRELOADER_WINE_SETUP, PRELOADER_WINE_INSTALLER or PRELOADER_SETUPPACK not set");
    return nullptr;
  }
  const std::string payload = BenchScratchFile("payload-128m");
  const std::string data = payload + "/DATA.BIN";
  fs::create_directories(payload);
  if (!fs::exists(data) || fs::file_size(data) != PAYLOAD_SIZE) {
    std::ofstream out(data + ".partial", std::ios::binary);
    for (CorpusKind kind : kPayloadKinds) {
      const std::vector<unsigned char> bytes = ReadBenchFile(CorpusFile(kind));
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    out.close();
    fs::rename(data + ".partial", data);
  }
  fs::copy_file(installer, payload + "/INSTALL.EXE", fs::copy_options::overwrite_existing);
  const std::string directory = BenchScratchFile(alone ? "medium-installer" : "medium-128m");
  fs::create_directories(directory);
  fs::copy_file(setup, directory + "/SETUP.EXE", fs::copy_options::overwrite_existing);
  const std::string packed = alone ? Quoted(payload + "/INSTALL.EXE") : Quoted(payload);
  if (!Run(std::string(setuppack) + " create -q " + Quoted(directory + "/SETUP.TMP") + " " + packed)) {
    state.SkipWithError("setuppack create failed");
    return nullptr;
  }
  medium.Directory = directory;
  medium.Payload = data;
  made[alone] = true;
  return &medium;
}

// The host path of a directory that Wine names C:\..., in the prefix.
std::string HostPath(const std::string& windows) {
  const char* prefix = Env("WINEPREFIX");
  if (!prefix || windows.size() < 3 || (windows[0] != 'C' && windows[0] != 'c') || windows[1] != ':')
    return "";
  std::string host = std::string(prefix) + "/drive_c" + windows.substr(2);
  for (char& c : host)
    if (c == '\\') c = '/';
  return host;
}

// One start of SETUP.EXE: the seconds from starting it to the installer's
// start (the installer notes the moment in the medium's directory), and
// the staging directory removed afterwards. Negative when it failed.
double TimeSetupStart(const Medium& medium) {
  const std::string stamp = medium.Directory + "/INSTALLER.START";
  std::remove(stamp.c_str());
  const double start = Now();
  // Returns once SETUP.EXE has ended, three seconds after the installer's
  // message.
  if (!Run("wine " + Quoted(medium.Directory + "/SETUP.EXE"))) return -1;
  std::ifstream in(stamp);
  unsigned long long fileTime = 0;
  std::string staging;
  if (!(in >> fileTime) || !std::getline(in >> std::ws, staging)) return -1;
  const std::string host = HostPath(staging);
  if (!host.empty() && host.find("_Orvane3d") != std::string::npos) fs::remove_all(host);
  // FILETIME: 100 ns steps since 1601-01-01, UTC.
  const double started = static_cast<double>(fileTime - 116444736000000000ull) / 1e7;
  return started - start;
}

// With `alone`, a container of INSTALL.EXE alone: what SETUP.EXE's start
// costs without the payload (two process starts and the window system's
// start-up under Wine).
void BM_SetupStart(benchmark::State& state, bool alone) {
  const Medium* medium = MakeMedium(state, alone);
  if (!medium) return;
  static bool warm[2] = {false, false};  // one start first, for the page cache and Wine's own files
  if (!warm[alone] && TimeSetupStart(*medium) < 0)
    return state.SkipWithError("SETUP.EXE did not start the installer");
  warm[alone] = true;
  for (auto _ : state) {
    const double seconds = TimeSetupStart(*medium);
    if (seconds < 0) return state.SkipWithError("SETUP.EXE did not start the installer");
    state.SetIterationTime(seconds);
    state.counters["ms"] = seconds * 1e3;
  }
  if (!alone) state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PAYLOAD_SIZE));
}

// cmd /c copy of the payload by the 32-bit Wine, the start of cmd included.
void BM_WineCopy(benchmark::State& state) {
  const Medium* medium = MakeMedium(state);
  if (!medium) return;
  const std::string target = medium->Directory + "/COPY.BIN";
  // The 32-bit cmd: in a 64-bit prefix it lives in syswow64.
  const bool wow64 = fs::exists(std::string(Env("WINEPREFIX") ? Env("WINEPREFIX") : "") +
                                "/drive_c/windows/syswow64/cmd.exe");
  const std::string cmd = wow64 ? "'C:\\windows\\syswow64\\cmd.exe'" : "cmd";
  const std::string command =
      "wine " + cmd + " /c copy /b " + Quoted(WinePath(medium->Payload)) + " " + Quoted(WinePath(target));
  static bool warm = false;
  std::remove(target.c_str());
  if (!warm && !Run(command)) return state.SkipWithError("cmd /c copy failed");
  warm = true;
  for (auto _ : state) {
    std::remove(target.c_str());
    const double start = Now();
    const bool copied = Run(command);
    const double seconds = Now() - start;
    state.SetIterationTime(seconds);
    state.counters["ms"] = seconds * 1e3;
    if (!copied || fs::file_size(target) != PAYLOAD_SIZE) return state.SkipWithError("cmd /c copy failed");
  }
  std::remove(target.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PAYLOAD_SIZE));
}

}  // namespace

void RegisterWineBenchmarks() {
  for (CorpusKind kind : {CorpusKind::Text, CorpusKind::Binary})
    benchmark::RegisterBenchmark((std::string("decode_win32/") + CorpusName(kind)).c_str(), BM_DecodeWin32,
                                 kind)
        ->UseManualTime()
        ->Iterations(8);
  benchmark::RegisterBenchmark("setup_start_win32", BM_SetupStart, false)
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("setup_start_alone_win32", BM_SetupStart, true)
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("copy_win32", BM_WineCopy)
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}
