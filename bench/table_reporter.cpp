#include "table_reporter.h"

#include <algorithm>
#include <cstdio>

namespace {

// The yardstick each benchmark is measured against, by name prefix.
const std::pair<const char*, const char*> kYardsticks[] = {
    {"decode/", "plain_decode/"},
    {"encode/", "plain_encode/"},
    {"encode_best/", "encode/"},
    {"pack_j2/", "pack_j1/"},
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    if (!median && !single) continue;
    std::string name = run.run_name.function_name;
    if (!rows_.count(name)) order_.push_back(name);
    Row& row = rows_[name];
    for (const auto& counter : run.counters) row.Counters[counter.first] = counter.second.value;
    auto rate = run.counters.find("bytes_per_second");
    if (rate != run.counters.end()) row.BytesPerSecond = rate->second.value;
  }
}

const TableReporter::Row* TableReporter::Find(const std::string& name) const {
  auto found = rows_.find(name);
  return found == rows_.end() ? nullptr : &found->second;
}

double TableReporter::Rate(const std::string& name) const {
  const Row* row = Find(name);
  return row ? row->BytesPerSecond : 0;
}

bool TableReporter::PrintTable() const {
  const double memcpyRate = Rate("memcpy");
  const double copyRate = Rate("file_copy");
  std::printf("\n%-22s %10s %-14s %9s %9s %9s\n", "benchmark (median)", "MB/s", "yardstick", "x yard", "x memcpy",
              "x copy");
  for (const std::string& name : order_) {
    double rate = Rate(name);
    std::string yardstick;
    for (const auto& pair : kYardsticks)
      if (StartsWith(name, pair.first)) yardstick = pair.second + name.substr(std::string(pair.first).size());
    double yardRate = yardstick.empty() ? 0 : Rate(yardstick);
    std::printf("%-22s %10.1f %-14s", name.c_str(), rate / 1e6, yardstick.c_str());
    if (yardRate > 0) std::printf(" %9.2f", rate / yardRate); else std::printf(" %9s", "");
    std::printf(" %9.3f %9.2f\n", memcpyRate > 0 ? rate / memcpyRate : 0, copyRate > 0 ? rate / copyRate : 0);
  }

  bool allMet = true;
  auto check = [&](const char* what, bool met, const char* detail) {
    std::printf("  %-4s %-52s %s\n", met ? "met" : "MISS", what, detail);
    allMet = allMet && met;
  };
  // A target whose benchmarks were filtered out of this run is not judged.
  auto ran = [&](const std::string& a, const std::string& b) {
    if (Rate(a) > 0 && Rate(b) > 0) return true;
    std::printf("  %-4s %-52s %s\n", "--", (a + " vs " + b).c_str(), "not run");
    return false;
  };
  std::printf("\ntargets:\n");
  char detail[128];
  for (const char* kind : {"text", "binary"}) {
    if (!ran(std::string("decode/") + kind, std::string("plain_decode/") + kind)) continue;
    double ratio = Rate(std::string("decode/") + kind) / Rate(std::string("plain_decode/") + kind);
    std::snprintf(detail, sizeof detail, "%.2fx, %.0f MB/s", ratio, Rate(std::string("decode/") + kind) / 1e6);
    check((std::string("decode ") + kind + " >= 3x plain decoder, >= 450 MB/s").c_str(),
          ratio >= 3.0 && Rate(std::string("decode/") + kind) >= 450e6, detail);
  }
  for (const char* kind : {"text", "binary", "random"}) {
    if (!ran(std::string("encode/") + kind, std::string("plain_encode/") + kind)) continue;
    double ratio = Rate(std::string("encode/") + kind) / Rate(std::string("plain_encode/") + kind);
    std::snprintf(detail, sizeof detail, "%.2fx", ratio);
    check((std::string("encode ") + kind + " >= 1.2x plain tree encoder").c_str(), ratio >= 1.2, detail);
  }
  // Random bytes do not compress: both parses store them as literals, so the
  // size target is taken over the compressible corpus, text and executables.
  double packed = 0, packedBest = 0, timeRatioMax = 0;
  bool haveBest = false;
  for (const char* kind : {"text", "binary", "random"}) {
    const Row* plain = Find(std::string("encode/") + kind);
    const Row* best = Find(std::string("encode_best/") + kind);
    if (!plain || !best || !plain->Counters.count("packed") || !best->Counters.count("packed")) continue;
    haveBest = true;
    double a = plain->Counters.at("packed"), b = best->Counters.at("packed");
    std::printf("  %-4s --best on %-6s %+.2f%% size, %.2fx the default's time\n", "", kind, 100.0 * (b - a) / a,
                best->BytesPerSecond > 0 ? plain->BytesPerSecond / best->BytesPerSecond : 0.0);
    if (std::string(kind) != "random") {
      packed += a;
      packedBest += b;
    }
    if (best->BytesPerSecond > 0) timeRatioMax = std::max(timeRatioMax, plain->BytesPerSecond / best->BytesPerSecond);
  }
  if (haveBest && packed > 0) {
    double saving = 100.0 * (packed - packedBest) / packed;
    std::snprintf(detail, sizeof detail, "%.2f%% smaller", saving);
    check("--best >= 1.5% smaller than the default (text + executables)", saving >= 1.5, detail);
    std::snprintf(detail, sizeof detail, "at most %.2fx the default's time", timeRatioMax);
    check("--best at most 4x slower than the default", timeRatioMax <= 4.0, detail);
  }
  double j1 = Rate("pack_j1/mixed"), j2 = Rate("pack_j2/mixed");
  if (j1 > 0 && j2 > 0) {
    std::snprintf(detail, sizeof detail, "%.2fx", j2 / j1);
    check("setuppack create -j 2 >= 1.8x -j 1", j2 / j1 >= 1.8, detail);
  }
  return allMet;
}
