// Console output as usual, plus one closing table: the median MB/s of each
// benchmark, its ratio to its yardstick, and the targets met or missed.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // Prints the table; returns false when a target was missed.
  bool PrintTable() const;

 private:
  struct Row {
    double BytesPerSecond = 0;
    std::map<std::string, double> Counters;
    std::string Note;   // why the row was not timed
    bool Best = false;  // the best of the repetitions, not their median
  };
  const Row* Find(const std::string& name) const;
  double Rate(const std::string& name) const;

  std::vector<std::string> order_;
  std::map<std::string, Row> rows_;
};
