#include "table_reporter.h"

#include <algorithm>
#include <cstdio>

namespace {

// The yardstick each benchmark is measured against, by name prefix.
const std::pair<const char*, const char*> kYardsticks[] = {
    {"decode/", "classic_decode/"}, {"decode_win32/", "decode/"}, {"encode/", "classic_encode/"},
    {"encode_best/", "encode/"},    {"pack_j2/", "pack_j1/"},     {"test_j2/", "test_j1/"},
    {"extract_j2/", "extract_j1/"},
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    // A row that could not be timed here says why, where the reason is
    // the machine's (the 32-bit product only emulated).
    if (run.error_occurred && StartsWith(run.error_message, "emulated")) {
      std::string name = run.run_name.function_name;
      if (!rows_.count(name)) order_.push_back(name);
      rows_[name].Note = run.error_message;
      continue;
    }
    // The median, or for the whole programs under Wine their best run.
    bool best = run.run_type == Run::RT_Aggregate && run.aggregate_name == "best";
    bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    if (!median && !single && !best) continue;
    std::string name = run.run_name.function_name;
    if (!rows_.count(name)) order_.push_back(name);
    Row& row = rows_[name];
    if (best) row.Best = true;
    if (!best && row.Best) continue;
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
  std::printf("\n%-22s %10s %-20s %7s %9s %7s\n", "benchmark (median)", "MB/s", "yardstick", "x yard",
              "x memcpy", "x copy");
  for (const std::string& name : order_) {
    if (!Find(name)->Note.empty()) {
      std::printf("%-22s %s\n", name.c_str(), Find(name)->Note.c_str());
      continue;
    }
    double rate = Rate(name);
    std::string yardstick;
    for (const auto& pair : kYardsticks)
      if (StartsWith(name, pair.first)) yardstick = pair.second + name.substr(std::string(pair.first).size());
    double yardRate = yardstick.empty() ? 0 : Rate(yardstick);
    std::printf("%-22s %10.1f %-20s", name.c_str(), rate / 1e6, yardstick.c_str());
    if (yardRate > 0)
      std::printf(" %7.2f", rate / yardRate);
    else
      std::printf(" %7s", "");
    std::printf(" %9.3f %7.2f", memcpyRate > 0 ? rate / memcpyRate : 0, copyRate > 0 ? rate / copyRate : 0);
    // The runs of whole programs under Wine also tell their time.
    const Row* row = Find(name);
    if (row && row->Counters.count("ms")) std::printf("  %.0f ms", row->Counters.at("ms"));
    std::printf("\n");
  }

  bool allMet = true;
  auto check = [&](const std::string& what, bool met, const char* detail) {
    std::printf("  %-4s %-58s %s\n", met ? "met" : "MISS", what.c_str(), detail);
    allMet = allMet && met;
  };
  // A target whose benchmarks were filtered out of this run, or could not
  // run here (no 32-bit Wine), is not judged.
  auto ran = [&](const std::string& a, const std::string& b) {
    if (Rate(a) > 0 && Rate(b) > 0) return true;
    std::printf("  %-4s %-58s %s\n", "--", (a + " vs " + b).c_str(), "not run");
    return false;
  };
  // rate(a) / rate(b) at least `least`.
  auto atLeast = [&](const std::string& what, const std::string& a, const std::string& b, double least) {
    if (!ran(a, b)) return;
    char detail[64];
    const double ratio = Rate(a) / Rate(b);
    std::snprintf(detail, sizeof detail, "%.2fx", ratio);
    check(what, ratio >= least, detail);
  };

  std::printf("\ntargets:\n");
  char detail[128];
  for (const std::string kind : {"text", "binary"})
    atLeast("decode " + kind + " >= 2.0x the classic decoder in memory", "decode/" + kind,
            "classic_decode/" + kind, 2.0);
  atLeast("decode text >= 0.9x a plain file copy of the decoded bytes", "decode/text", "file_copy", 0.9);
  for (const std::string kind : {"text", "binary"})
    atLeast("32-bit decode " + kind + " under Wine >= 0.9x the native build", "decode_win32/" + kind,
            "decode/" + kind, 0.9);
  // What the 128 MiB payload costs SETUP.EXE (its start to the installer's
  // start, less the same with INSTALL.EXE alone) against what it costs
  // cmd /c copy (less a copy of one byte), under the same Wine; and what
  // the binding adds to the payload's cost.
  for (const std::string build : {"win32", "win64"}) {
    auto ms = [&](const std::string& name) {
      const Row* row = Find(name + "_" + build);
      return row && row->Counters.count("ms") ? row->Counters.at("ms") : 0.0;
    };
    const double setup = ms("setup_start"), bound = ms("setup_start_bound"), alone = ms("setup_start_alone");
    const double copy = ms("copy"), oneByte = ms("copy_one_byte");
    if (setup <= 0 || alone <= 0 || copy <= 0 || oneByte <= 0) continue;
    const double payloadCost = setup - alone, copyCost = copy - oneByte;
    std::printf("  %-4s %-58s %.0f ms (%.0f - %.0f)\n", "",
                ("the payload's cost to SETUP.EXE, " + build).c_str(), payloadCost, setup, alone);
    std::printf("  %-4s %-58s %.0f ms (%.0f - %.0f)\n", "",
                ("the payload's cost to cmd /c copy, " + build).c_str(), copyCost, copy, oneByte);
    std::snprintf(detail, sizeof detail, "%.2fx", copyCost > 0 ? payloadCost / copyCost : 0);
    check("the payload's cost <= 1.2x the copy's (" + build + ")",
          copyCost > 0 && payloadCost <= 1.2 * copyCost, detail);
    // The binding's rows: the median difference of paired starts, which
    // shows it within the starts' scatter, and the difference inside the
    // decoding process, which resolves it and is judged.
    const double paired = ms("binding_cost"), decoding = ms("binding_decode");
    if (paired != 0)
      std::printf("  %-4s %-58s %+.1f ms (%+.1f%%; best runs %.0f ms bound, %.0f unbound)\n", "",
                  ("the binding, paired starts, " + build).c_str(), paired,
                  payloadCost > 0 ? 100.0 * paired / payloadCost : 0, bound, setup);
    if (decoding == 0) continue;
    std::snprintf(detail, sizeof detail, "%+.1f%% (%+.1f ms in the decoding process)",
                  payloadCost > 0 ? 100.0 * decoding / payloadCost : 0, decoding);
    check("the binding adds <= 10% to the payload's cost (" + build + ")",
          payloadCost > 0 && decoding <= 0.1 * payloadCost, detail);
  }
  for (const std::string kind : {"text", "binary"})
    atLeast("encode " + kind + " >= 1.5x the classic tree encoder in memory", "encode/" + kind,
            "classic_encode/" + kind, 1.5);
  // Random bytes are no installer's payload: shown, not judged.
  if (Rate("encode/random") > 0 && Rate("classic_encode/random") > 0)
    std::printf("  %-4s %-58s %.2fx\n", "", "encode random against the classic tree encoder in memory",
                Rate("encode/random") / Rate("classic_encode/random"));
  for (const std::string kind : {"text", "binary"}) {
    const std::string decode = "decode/" + kind, plain = "plain_decode/" + kind;
    if (!ran(decode, plain)) continue;
    const double ratio = Rate(decode) / Rate(plain);
    std::snprintf(detail, sizeof detail, "%.2fx, %.0f MB/s", ratio, Rate(decode) / 1e6);
    check("decode " + kind + " >= 3x the plain stdio decoder, >= 450 MB/s",
          ratio >= 3.0 && Rate(decode) >= 450e6, detail);
  }
  for (const std::string kind : {"text", "binary", "random"})
    atLeast("encode " + kind + " >= 1.2x the plain stdio tree encoder", "encode/" + kind,
            "plain_encode/" + kind, 1.2);

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
    std::printf("  %-4s --best on %-6s %+.2f%% size, %.2fx the default's time\n", "", kind,
                100.0 * (b - a) / a,
                best->BytesPerSecond > 0 ? plain->BytesPerSecond / best->BytesPerSecond : 0.0);
    if (std::string(kind) != "random") {
      packed += a;
      packedBest += b;
    }
    if (best->BytesPerSecond > 0)
      timeRatioMax = std::max(timeRatioMax, plain->BytesPerSecond / best->BytesPerSecond);
  }
  if (haveBest && packed > 0) {
    double saving = 100.0 * (packed - packedBest) / packed;
    std::snprintf(detail, sizeof detail, "%.2f%% smaller", saving);
    check("--best >= 1.5% smaller than the default (text + executables)", saving >= 1.5, detail);
    std::snprintf(detail, sizeof detail, "at most %.2fx the default's time", timeRatioMax);
    check("--best at most 4x slower than the default", timeRatioMax <= 4.0, detail);
  }
  atLeast("setuppack create -j 2 >= 1.85x -j 1", "pack_j2/mixed", "pack_j1/mixed", 1.85);
  atLeast("setuppack test -j 2 >= 1.85x -j 1 (eight 4 MiB members)", "test_j2/8x4m", "test_j1/8x4m", 1.85);
  atLeast("setuppack extract -j 2 >= 1.85x -j 1 (eight 4 MiB members)", "extract_j2/8x4m", "extract_j1/8x4m",
          1.85);
  return allMet;
}
