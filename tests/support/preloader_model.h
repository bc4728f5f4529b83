// What the preloader makes of a container, worked out independently of the
// staging code: the entry count and name fields read by hand, each member
// decoded by the plain reference decoder, and the rules for names and path
// lengths applied to the would-be output path. The staging fuzzer holds
// ExtractArchive to it; the setuppack fuzzer holds `setuppack test` to it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "memory_stream.h"

struct PreloaderOutcome {
  int Count = 0;  // entries the preloader tries, 0 when none
  // The files left in the staging directory (Install.ini aside), by name,
  // with their contents; a failing member's file holds what was decoded.
  std::map<std::string, Bytes> Files;
  int EntriesWritten = 0;  // members that decoded whole
  bool Failed = false;     // the one message box
  std::string FailedPath;  // its caption
};

// `stagingDirectory` is the full Windows path of the staging directory,
// ending in a backslash.
PreloaderOutcome ModelExtraction(const std::uint8_t* data, std::size_t size,
                                 const std::string& stagingDirectory);
