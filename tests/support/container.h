// Building SETUP.TMP containers for tests: an entry count, then per entry the
// name field (16-bit length, the bytes) and a compressed member. The one
// container builder of the tests and the fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

struct ContainerEntry {
  std::string Name;  // may hold zero bytes
  Bytes Member;      // a whole member: header and token stream
};

// The ArchiveName field: the length as unsigned 16-bit, then the bytes.
Bytes ArchiveNameField(const std::string& name);
// A container whose count is the number of entries.
Bytes MakeContainer(const std::vector<ContainerEntry>& entries);
// A container with the given raw count, whatever entries follow.
Bytes MakeContainer(std::uint16_t count, const std::vector<ContainerEntry>& entries);
