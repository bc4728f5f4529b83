// Runs every benchmark and prints, at the end, one table of medians with the
// ratio of each to its yardstick and whether the speed targets are met.
#include <benchmark/benchmark.h>

#include "codec_bench.h"
#include "pack_bench.h"
#include "table_reporter.h"
#include "wine_bench.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterCodecBenchmarks();
  RegisterPackBenchmarks();
  RegisterWineBenchmarks();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool met = reporter.PrintTable();
  benchmark::Shutdown();
  return met ? 0 : 3;
}
