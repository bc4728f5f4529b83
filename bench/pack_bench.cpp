// Benchmarks of setuppack as a user runs it: create with one and with two
// workers on a payload of eight 8 MiB files cut from the corpus, and test
// and extract with one and with two workers on a container of eight 4 MiB
// members. The program comes from PRELOADER_SETUPPACK; without it these are
// skipped.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "corpus.h"
#include "pack_bench.h"

namespace fs = std::filesystem;

namespace {

constexpr int PIECES = 8;  // text, executables and random bytes
constexpr std::size_t PACK_PIECE = 8u << 20;
constexpr std::size_t READ_PIECE = 4u << 20;

const char* SetuppackPath() { return std::getenv("PRELOADER_SETUPPACK"); }

// A directory of PIECES files of `piece` bytes each, made once.
const std::string& Payload(std::size_t piece) {
  static std::map<std::size_t, std::string> dirs;
  std::string& dir = dirs[piece];
  if (!dir.empty()) return dir;
  dir = BenchScratchFile("payload-mixed-" + std::to_string(piece >> 20) + "m");
  fs::create_directories(dir);
  const CorpusKind kinds[PIECES] = {CorpusKind::Binary, CorpusKind::Text,  CorpusKind::Binary,
                                    CorpusKind::Random, CorpusKind::Text,  CorpusKind::Binary,
                                    CorpusKind::Text,   CorpusKind::Binary};
  std::string block(piece, '\0');
  for (int i = 0; i < PIECES; ++i) {
    std::string name =
        (fs::path(dir) / (i == 0 ? "INSTALL.EXE" : "FILE" + std::to_string(i) + ".DAT")).string();
    if (fs::exists(name) && fs::file_size(name) == piece) continue;
    FILE* in = std::fopen(CorpusFile(kinds[i]).c_str(), "rb");
    std::fseek(in, static_cast<long>(piece) * i % static_cast<long>(CORPUS_SIZE - piece), SEEK_SET);
    std::size_t got = std::fread(&block[0], 1, piece, in);
    std::fclose(in);
    FILE* out = std::fopen(name.c_str(), "wb");
    std::fwrite(block.data(), 1, got, out);
    std::fclose(out);
  }
  return dir;
}

// Runs setuppack with `args`, its output to /dev/null, and tells whether it
// succeeded. Started directly, without a shell, whose own start would be
// timed too.
bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = SetuppackPath();
  argv.push_back(&program[0]);
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child;
  int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return !failed && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_Pack(benchmark::State& state, int workers) {
  if (!SetuppackPath()) return state.SkipWithError("PRELOADER_SETUPPACK not set");
  const std::vector<std::string> command = {
      "create", "-q", "-j", std::to_string(workers), BenchScratchFile("pack.tmp"), Payload(PACK_PIECE)};
  for (auto _ : state)
    if (!Run(command)) return state.SkipWithError("setuppack create failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PACK_PIECE * PIECES));
}

// The container of eight 4 MiB members that test and extract read, made once.
const std::string* ReadContainer(benchmark::State& state) {
  static std::string container;
  if (!container.empty()) return &container;
  const std::string path = BenchScratchFile("members-8x4m.tmp");
  if (!Run({"create", "-q", path, Payload(READ_PIECE)})) {
    state.SkipWithError("setuppack create failed");
    return nullptr;
  }
  container = path;
  return &container;
}

// extract with `workers` workers into an empty directory; the members are
// written to the disk (setuppack waits for each to be there before it puts
// it in place), as a user's extract writes them.
void BM_Extract(benchmark::State& state, int workers) {
  if (!SetuppackPath()) return state.SkipWithError("PRELOADER_SETUPPACK not set");
  const std::string* container = ReadContainer(state);
  if (!container) return;
  std::string target = BenchScratchFile("extracted");
  const std::vector<std::string> command = {"extract", "-q",   "-j",      std::to_string(workers),
                                            "-C",      target, *container};
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(target);
    fs::create_directories(target);
    state.ResumeTiming();
    if (!Run(command)) return state.SkipWithError("setuppack extract failed");
  }
  fs::remove_all(target);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * READ_PIECE * PIECES));
}

void BM_Test(benchmark::State& state, int workers) {
  if (!SetuppackPath()) return state.SkipWithError("PRELOADER_SETUPPACK not set");
  const std::string* container = ReadContainer(state);
  if (!container) return;
  const std::vector<std::string> command = {"test", "-q", "-j", std::to_string(workers), *container};
  for (auto _ : state)
    if (!Run(command)) return state.SkipWithError("setuppack test failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * READ_PIECE * PIECES));
}

}  // namespace

void RegisterPackBenchmarks() {
  benchmark::RegisterBenchmark("pack_j1/mixed", BM_Pack, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark("pack_j2/mixed", BM_Pack, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
  for (int workers : {1, 2}) {
    const std::string j = "_j" + std::to_string(workers);
    benchmark::RegisterBenchmark(("test" + j + "/8x4m").c_str(), BM_Test, workers)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("extract" + j + "/8x4m").c_str(), BM_Extract, workers)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
}
