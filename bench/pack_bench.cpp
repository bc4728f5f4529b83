// Benchmarks of setuppack as a user runs it: create with one and with two
// workers, and extract, on a payload of several files cut from the corpus.
// The program comes from PRELOADER_SETUPPACK; without it these are skipped.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "corpus.h"
#include "pack_bench.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t PIECE = 8u << 20;
constexpr int PIECES = 8;  // 64 MiB: text, executables and random bytes

const char* SetuppackPath() { return std::getenv("PRELOADER_SETUPPACK"); }

const std::string& Payload() {
  static std::string dir;
  if (!dir.empty()) return dir;
  dir = BenchScratchFile("payload-mixed");
  fs::create_directories(dir);
  const CorpusKind kinds[PIECES] = {CorpusKind::Binary, CorpusKind::Text,   CorpusKind::Binary, CorpusKind::Random,
                                    CorpusKind::Text,   CorpusKind::Binary, CorpusKind::Text,   CorpusKind::Binary};
  std::string block(PIECE, '\0');
  for (int i = 0; i < PIECES; ++i) {
    std::string name = (fs::path(dir) / (i == 0 ? "INSTALL.EXE" : "FILE" + std::to_string(i) + ".DAT")).string();
    if (fs::exists(name) && fs::file_size(name) == PIECE) continue;
    FILE* in = std::fopen(CorpusFile(kinds[i]).c_str(), "rb");
    std::fseek(in, static_cast<long>(PIECE) * i % static_cast<long>(CORPUS_SIZE - PIECE), SEEK_SET);
    std::size_t got = std::fread(&block[0], 1, PIECE, in);
    std::fclose(in);
    FILE* out = std::fopen(name.c_str(), "wb");
    std::fwrite(block.data(), 1, got, out);
    std::fclose(out);
  }
  return dir;
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

void BM_Pack(benchmark::State& state, int workers) {
  if (!SetuppackPath()) return state.SkipWithError("PRELOADER_SETUPPACK not set");
  std::string command = std::string(SetuppackPath()) + " create -q -j " + std::to_string(workers) + " " +
                        BenchScratchFile("pack.tmp") + " " + Payload();
  for (auto _ : state)
    if (!Run(command)) return state.SkipWithError("setuppack create failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PIECE * PIECES));
}

void BM_Extract(benchmark::State& state) {
  if (!SetuppackPath()) return state.SkipWithError("PRELOADER_SETUPPACK not set");
  std::string container = BenchScratchFile("extract-source.tmp");
  if (!Run(std::string(SetuppackPath()) + " create -q " + container + " " + Payload()))
    return state.SkipWithError("setuppack create failed");
  std::string target = BenchScratchFile("extracted");
  std::string command = std::string(SetuppackPath()) + " extract -q -C " + target + " " + container;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(target);
    fs::create_directories(target);
    state.ResumeTiming();
    if (!Run(command)) return state.SkipWithError("setuppack extract failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PIECE * PIECES));
}

}  // namespace

void RegisterPackBenchmarks() {
  benchmark::RegisterBenchmark("pack_j1/mixed", BM_Pack, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark("pack_j2/mixed", BM_Pack, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark("extract/mixed", BM_Extract)->Unit(benchmark::kMillisecond)->UseRealTime();
}
