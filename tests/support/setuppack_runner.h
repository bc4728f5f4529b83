// Runs setuppack's command line in-process and builds containers by hand.
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

// A container as the preloader reads it: count, then name fields and members.
struct HandEntry {
  std::string Name;
  Bytes Member;
};
Bytes ContainerOf(const std::vector<HandEntry>& entries);
Bytes ContainerOf(std::uint16_t count, const std::vector<HandEntry>& entries);

// The paths of the files in dir, sorted; for "nothing else was left" checks.
std::vector<std::string> FilesIn(const std::string& dir);
