// Where `extract` may put a member: a container comes from anywhere, so a
// stored name must never reach outside the chosen directory.
#pragma once

#include <string>
#include <vector>

struct ExtractTarget {
  std::vector<std::string> Components;  // directories, then the file name
  std::string Refusal;                  // empty when the name is safe
};

// Both separators count, as they do on Windows. Refused: empty names and
// components, absolute names, drives and stream names (any ':'), and "..".
ExtractTarget ExtractTargetOf(const std::string& name);
