// Runs every benchmark and prints, at the end, one table of medians with the
// ratio of each to its yardstick and whether the speed targets are met.
#include <benchmark/benchmark.h>

#include "codec_bench.h"
#include "table_reporter.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterCodecBenchmarks();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
