// A small, sound SETUP.TMP and where each of its fields lies, so that the
// damage tests can cut it anywhere or change any field and still say what
// the preloader and setuppack must make of the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

// Header fields in their order, each 4 bytes.
enum HeaderField { MAGIC, TWO_SECONDS, MINUTE, HOUR, DAY, MONTH, YEAR, UNPACKED_SIZE, PACKED_SIZE };
constexpr int HEADER_FIELDS = 9;
const char* HeaderFieldName(int field);

struct SampleEntry {
  std::string Name;
  Bytes Data;              // the file the member holds
  std::size_t Start = 0;   // offset of the name length
  std::size_t Member = 0;  // offset of the member header
  std::size_t Tokens = 0;  // offset of the token stream
  std::size_t End = 0;     // offset of the next entry
  std::size_t NameAt() const { return Start + 2; }
  std::size_t Field(int field) const { return Member + 4 * static_cast<std::size_t>(field); }
};

// Three entries: INSTALL.EXE and README.TXT with a few dozen bytes each
// (both with matches and literals), and the empty EMPTY.DAT between them.
struct SampleContainer {
  std::vector<SampleEntry> Entries;
  Bytes Content;  // the whole SETUP.TMP

  static const SampleContainer& Get();
  const SampleEntry& Entry(const std::string& name) const;
  std::size_t Size() const { return Content.size(); }
};

// Little-endian field patches on a copy.
Bytes WithField16(Bytes bytes, std::size_t at, std::uint16_t value);
Bytes WithField32(Bytes bytes, std::size_t at, std::uint32_t value);
