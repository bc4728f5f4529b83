#include "report.h"

#include <fstream>

Report Report::Read(const std::string& path) {
  Report report;
  report.path_ = path;
  std::ifstream in(path);
  if (!in) return report;
  report.exists_ = true;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    report.lines_.push_back(line);
    std::string::size_type eq = line.find('=');
    if (eq != std::string::npos) report.values_.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return report;
}

std::string Report::Get(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

std::vector<std::string> Report::All(const std::string& key) const {
  std::vector<std::string> all;
  auto range = values_.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) all.push_back(it->second);
  return all;
}

unsigned long long Report::Number(const std::string& key, std::size_t index) const {
  std::vector<std::string> all = All(key);
  return index < all.size() ? std::stoull(all[index]) : 0;
}
