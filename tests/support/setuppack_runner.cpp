#include "setuppack_runner.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "commands/cli.h"

RunResult Setuppack(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  RunResult result;
  result.Code = RunSetuppack(args, Console{out, err, false, false});
  result.Out = out.str();
  result.Err = err.str();
  return result;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
