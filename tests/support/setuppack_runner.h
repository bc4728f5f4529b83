// Runs setuppack's command line in-process.
#pragma once

#include <string>
#include <vector>

#include "test_files.h"

struct RunResult {
  int Code = -1;
  std::string Out;
  std::string Err;
};

RunResult Setuppack(const std::vector<std::string>& args);

// The paths of the files in dir, sorted; for "nothing else was left" checks.
std::vector<std::string> FilesIn(const std::string& dir);
