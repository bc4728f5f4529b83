// The key=value lines that the stand-in installer and the window driver
// write about what they saw.
#pragma once

#include <map>
#include <string>
#include <vector>

class Report {
 public:
  static Report Read(const std::string& path);  // empty when the file is missing

  bool Exists() const { return exists_; }
  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Lines() const { return lines_; }  // as written
  std::string Get(const std::string& key) const;                    // first value, or ""
  std::vector<std::string> All(const std::string& key) const;
  unsigned long long Number(const std::string& key, std::size_t index = 0) const;

 private:
  bool exists_ = false;
  std::string path_;
  std::vector<std::string> lines_;
  std::multimap<std::string, std::string> values_;
};
