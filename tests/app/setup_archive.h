// Builds SETUP.TMP containers for the end-to-end tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "members.h"

struct ArchiveEntry {
  std::string Name;
  Bytes Member;  // header and tokens, as the codec writes them
};

// The entry count as given, then each entry's name field and member.
Bytes ArchiveBytes(std::uint16_t count, const std::vector<ArchiveEntry>& entries);
Bytes ArchiveBytes(const std::vector<ArchiveEntry>& entries);
