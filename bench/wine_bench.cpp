// Benchmarks of SETUP.EXE under Wine: the 32-bit product under the 32-bit
// Wine where the kernel runs i386 code, else the 64-bit build under wine64
// (never a build timed under an emulator). Decode as SETUP.EXE runs it (the
// decode probe, built for 32-bit Windows, times itself), and SETUP.EXE from
// its start to the installer's start, with the payload (unbound and bound)
// and with INSTALL.EXE alone, beside cmd /c copy of the payload and of one
// byte by the same Wine: what the payload costs SETUP.EXE against what it
// costs a copy. scripts/bench builds the Windows programs, starts a display
// and the prefix's wineserver and names the programs and the build in the
// environment; without them these are skipped.
#include <benchmark/benchmark.h>

#include <algorithm>

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

// Which build runs, for the rows' names ("win32", "win64"), and the Wine
// that runs it.
std::string WineBuild() { return Env("PRELOADER_WINE_BUILD") ? Env("PRELOADER_WINE_BUILD") : "win32"; }
std::string WineCommand() { return Env("PRELOADER_WINE") ? Env("PRELOADER_WINE") : "wine"; }

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
  const std::string command = WineCommand() + " " + Quoted(probe) + " " + Quoted(WinePath(member)) + " " +
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

// A medium made by setuppack medium, with the timing installer as
// INSTALL.EXE: with the payload, unbound or bound, or with INSTALL.EXE
// alone. Made once per run of the benchmarks.
enum class MediumKind { Unbound, Bound, Alone };

struct Medium {
  std::string Directory;
  std::string Payload;  // the 128 MiB file
};

// Makes the three media at once and puts them on the disk, so that no row
// runs while the system still writes out a container made just before it.
bool MakeMedia(benchmark::State& state, Medium (&media)[3]) {
  if (Env("PRELOADER_WINE_EMULATED") && WineBuild() == "win32") {
    state.SkipWithError(EMULATED);
    return false;
  }
  const char* setup = Env("PRELOADER_WINE_SETUP");
  const char* installer = Env("PRELOADER_WINE_INSTALLER");
  const char* setuppack = Env("PRELOADER_SETUPPACK");
  if (!setup || !installer || !setuppack) {
    state.SkipWithError("PRELOADER_WINE_SETUP, PRELOADER_WINE_INSTALLER or PRELOADER_SETUPPACK not set");
    return false;
  }
  const std::string payload = BenchScratchFile("payload-128m");
  const std::string data = payload + "/DATA.BIN";
  fs::create_directories(payload);
  if (!fs::exists(data) || fs::file_size(data) != PAYLOAD_SIZE) {
    std::ofstream out(data + ".partial", std::ios::binary);
    for (CorpusKind part : kPayloadKinds) {
      const std::vector<unsigned char> bytes = ReadBenchFile(CorpusFile(part));
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    out.close();
    fs::rename(data + ".partial", data);
  }
  fs::copy_file(installer, payload + "/INSTALL.EXE", fs::copy_options::overwrite_existing);
  const char* names[] = {"medium-128m", "medium-128m-bound", "medium-installer"};
  for (int index = 0; index < 3; ++index) {
    const MediumKind kind = static_cast<MediumKind>(index);
    const std::string directory = BenchScratchFile(std::string(names[index]) + "-" + WineBuild());
    fs::remove_all(directory);
    const std::string packed = kind == MediumKind::Alone ? Quoted(payload + "/INSTALL.EXE") : Quoted(payload);
    if (!Run(std::string(setuppack) + " medium -q" + (kind == MediumKind::Bound ? "" : " --unbound") +
             " --preloader " + Quoted(setup) + " " + Quoted(directory) + " " + packed)) {
      state.SkipWithError("setuppack medium failed");
      return false;
    }
    media[index] = {directory, data};
  }
  Run("sync");
  return true;
}

const Medium* MakeMedium(benchmark::State& state, MediumKind kind) {
  static Medium media[3];
  static bool made = false;
  if (!made && !MakeMedia(state, media)) return nullptr;
  made = true;
  return &media[static_cast<int>(kind)];
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
  if (!Run(WineCommand() + " " + Quoted(medium.Directory + "/SETUP.EXE"))) return -1;
  std::ifstream in(stamp);
  unsigned long long fileTime = 0;
  std::string staging;
  if (!(in >> fileTime) || !std::getline(in >> std::ws, staging)) return -1;
  // The installer wrote the line in text mode: it ends in CR LF.
  while (!staging.empty() && (staging.back() == '\r' || staging.back() == ' ')) staging.pop_back();
  const std::string host = HostPath(staging);
  if (!host.empty() && host.find("_Orvane3d") != std::string::npos) fs::remove_all(host);
  // FILETIME: 100 ns steps since 1601-01-01, UTC.
  const double started = static_cast<double>(fileTime - 116444736000000000ull) / 1e7;
  return started - start;
}

// With INSTALL.EXE alone: what SETUP.EXE's start costs without the payload
// (two process starts and the window system's start-up under Wine).
void BM_SetupStart(benchmark::State& state, MediumKind kind) {
  const Medium* medium = MakeMedium(state, kind);
  if (!medium) return;
  static bool warm[3] = {false, false, false};  // one start first, for the page cache and Wine's own files
  const int index = static_cast<int>(kind);
  if (!warm[index] && TimeSetupStart(*medium) < 0)
    return state.SkipWithError("SETUP.EXE did not start the installer");
  warm[index] = true;
  for (auto _ : state) {
    // A start that Wine fails now and then on a busy machine is tried
    // again: a repetition given up would end the whole benchmark program.
    double seconds = -1;
    for (int attempt = 0; attempt < 3 && seconds < 0; ++attempt) seconds = TimeSetupStart(*medium);
    if (seconds < 0) return state.SkipWithError("SETUP.EXE did not start the installer");
    state.SetIterationTime(seconds);
    state.counters["ms"] = seconds * 1e3;
  }
  if (kind != MediumKind::Alone)
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PAYLOAD_SIZE));
}

// What the binding adds to SETUP.EXE's run: twenty pairs of starts, the
// unbound medium and the bound one in turn (which first alternates), and
// the median of the pairs' differences. Paired, the drift of a busy
// virtual machine falls out; each row's best run alone would not resolve
// the few milliseconds asked about.
void BM_BindingCost(benchmark::State& state) {
  const Medium* unbound = MakeMedium(state, MediumKind::Unbound);
  const Medium* bound = unbound ? MakeMedium(state, MediumKind::Bound) : nullptr;
  if (!bound) return;
  constexpr int PAIRS = 20;
  for (auto _ : state) {
    std::vector<double> differences;
    for (int pair = 0; pair < PAIRS; ++pair) {
      double first = -1, second = -1;
      for (int attempt = 0; attempt < 3 && (first < 0 || second < 0); ++attempt) {
        first = TimeSetupStart(pair % 2 ? *bound : *unbound);
        second = TimeSetupStart(pair % 2 ? *unbound : *bound);
      }
      if (first < 0 || second < 0) return state.SkipWithError("SETUP.EXE did not start the installer");
      differences.push_back(pair % 2 ? first - second : second - first);
    }
    std::sort(differences.begin(), differences.end());
    const double median = (differences[PAIRS / 2 - 1] + differences[PAIRS / 2]) / 2;
    state.SetIterationTime(median > 1e-6 ? median : 1e-6);
    state.counters["ms"] = median * 1e3;
  }
}

// The binding's cost inside the process, where it can be resolved: the
// bound medium's 128 MiB member decoded by the probe without and with the
// digest (its thread included), four rounds of four runs each in turn, the
// best run of each.
void BM_BindingDecode(benchmark::State& state) {
  const Medium* bound = MakeMedium(state, MediumKind::Bound);
  if (!bound) return;
  const char* probe = Env("PRELOADER_WINE_BINDING_PROBE");
  if (!probe) return state.SkipWithError("PRELOADER_WINE_BINDING_PROBE not set");
  const std::string container = bound->Directory + "/SETUP.TMP";
  const std::vector<unsigned char> head = ReadBenchFile(container);
  if (head.size() < 4) return state.SkipWithError("no container");
  const int offset = 4 + (head[2] | head[3] << 8);  // behind the count and the first name
  const std::string out = BenchScratchFile("binding-decode.out");
  const std::string report = BenchScratchFile("binding-decode.times");
  for (auto _ : state) {
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 4; ++round)
      for (int hash = 0; hash < 2; ++hash) {
        const std::string command = "DECODE_PROBE_OFFSET=" + std::to_string(offset) +
                                    " DECODE_PROBE_HASH=" + std::to_string(hash) + " " + WineCommand() + " " +
                                    Quoted(probe) + " " + Quoted(WinePath(container)) + " " +
                                    Quoted(WinePath(out)) + " 4 >" + Quoted(report) + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return state.SkipWithError("the decode probe failed");
        std::ifstream lines(report);
        double seconds;
        int result;
        while (lines >> seconds >> result) best[hash] = std::min(best[hash], seconds);
      }
    const double difference = best[1] - best[0];
    state.SetIterationTime(difference > 1e-6 ? difference : 1e-6);
    state.counters["ms"] = difference * 1e3;
    state.counters["unhashed_ms"] = best[0] * 1e3;
  }
  std::remove(out.c_str());
}

// cmd /c copy of the payload (or of a one-byte file) by the same Wine, the
// start of cmd included.
void BM_WineCopy(benchmark::State& state, bool oneByte) {
  const Medium* medium = MakeMedium(state, MediumKind::Unbound);
  if (!medium) return;
  const std::string target = medium->Directory + "/COPY.BIN";
  const std::string source = oneByte ? medium->Directory + "/ONE.BIN" : medium->Payload;
  const std::uintmax_t size = oneByte ? 1 : PAYLOAD_SIZE;
  if (oneByte) std::ofstream(source, std::ios::binary) << 'x';
  // The 32-bit cmd: in a 64-bit prefix it lives in syswow64.
  const bool wow64 = fs::exists(std::string(Env("WINEPREFIX") ? Env("WINEPREFIX") : "") +
                                "/drive_c/windows/syswow64/cmd.exe");
  const std::string cmd = wow64 && WineBuild() == "win32" ? "'C:\\windows\\syswow64\\cmd.exe'" : "cmd";
  const std::string command =
      WineCommand() + " " + cmd + " /c copy /b " + Quoted(WinePath(source)) + " " + Quoted(WinePath(target));
  static bool warm[2] = {false, false};
  std::remove(target.c_str());
  if (!warm[oneByte] && !Run(command)) return state.SkipWithError("cmd /c copy failed");
  warm[oneByte] = true;
  for (auto _ : state) {
    std::remove(target.c_str());
    const double start = Now();
    const bool copied = Run(command);
    const double seconds = Now() - start;
    state.SetIterationTime(seconds);
    state.counters["ms"] = seconds * 1e3;
    if (!copied || fs::file_size(target) != size) return state.SkipWithError("cmd /c copy failed");
  }
  std::remove(target.c_str());
  if (!oneByte) state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PAYLOAD_SIZE));
}

// Whole programs under Wine vary with what else the machine does: each
// row is the best of its repetitions, the page cache warm.
double Best(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

void RegisterWineBenchmarks() {
  for (CorpusKind kind : {CorpusKind::Text, CorpusKind::Binary})
    benchmark::RegisterBenchmark((std::string("decode_win32/") + CorpusName(kind)).c_str(), BM_DecodeWin32,
                                 kind)
        ->UseManualTime()
        ->Iterations(8);
  const std::string build = WineBuild();
  // SETUP.EXE's rows vary most (two process starts, a window): twenty runs.
  auto whole = [](benchmark::internal::Benchmark* b, int runs) {
    b->UseManualTime()
        ->Iterations(1)
        ->Repetitions(runs)
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics("best", Best);
  };
  whole(benchmark::RegisterBenchmark(("setup_start_" + build).c_str(), BM_SetupStart, MediumKind::Unbound),
        20);
  whole(
      benchmark::RegisterBenchmark(("setup_start_bound_" + build).c_str(), BM_SetupStart, MediumKind::Bound),
      20);
  whole(
      benchmark::RegisterBenchmark(("setup_start_alone_" + build).c_str(), BM_SetupStart, MediumKind::Alone),
      20);
  benchmark::RegisterBenchmark(("binding_cost_" + build).c_str(), BM_BindingCost)
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("binding_decode_" + build).c_str(), BM_BindingDecode)
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(1)
      ->Unit(benchmark::kMillisecond);
  whole(benchmark::RegisterBenchmark(("copy_" + build).c_str(), BM_WineCopy, false), 10);
  whole(benchmark::RegisterBenchmark(("copy_one_byte_" + build).c_str(), BM_WineCopy, true), 10);
}
