#include "setuppack_runner.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli.h"

RunResult Setuppack(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  RunResult result;
  result.Code = RunSetuppack(args, Console{out, err, false, false});
  result.Out = out.str();
  result.Err = err.str();
  return result;
}

Bytes ContainerOf(std::uint16_t count, const std::vector<HandEntry>& entries) {
  Bytes bytes{static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
  for (const HandEntry& entry : entries) {
    bytes.push_back(static_cast<std::uint8_t>(entry.Name.size()));
    bytes.push_back(static_cast<std::uint8_t>(entry.Name.size() >> 8));
    bytes.insert(bytes.end(), entry.Name.begin(), entry.Name.end());
    bytes.insert(bytes.end(), entry.Member.begin(), entry.Member.end());
  }
  return bytes;
}

Bytes ContainerOf(const std::vector<HandEntry>& entries) {
  return ContainerOf(static_cast<std::uint16_t>(entries.size()), entries);
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
