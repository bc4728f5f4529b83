// SETUP.TMP's layout, which the preloader reads and setuppack writes and
// reads: a 16-bit little-endian entry count, then for each entry a name
// field (a 16-bit little-endian length and that many bytes) and a member.
#pragma once

#include <cstdint>

constexpr int ENTRY_COUNT_BYTES = 2;
constexpr int NAME_LENGTH_BYTES = 2;
// The count is a signed 16-bit number to the preloader: a count with its
// top bit set means no entries, so a container holds at most 32,767.
constexpr std::uint32_t MAX_ENTRIES = 32767;

// The entries the preloader tries for a count field's two bytes.
constexpr int EntriesOfCount(std::uint8_t low, std::uint8_t high) {
  return (high & 0x80) ? 0 : low | (high << 8);
}
