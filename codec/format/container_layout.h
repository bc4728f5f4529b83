// SETUP.TMP's framing, which the preloader reads and setuppack writes and
// reads: a 16-bit little-endian entry count, then for each entry a name
// field (a 16-bit little-endian length and that many bytes) and a member.
// The one place that knows how those fields are laid out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int ENTRY_COUNT_BYTES = 2;
constexpr int NAME_LENGTH_BYTES = 2;
// The count is a signed 16-bit number to the preloader: a count with its
// top bit set means no entries, so a container holds at most 32,767.
constexpr std::uint32_t MAX_ENTRIES = 32767;
// A name field's length has 16 bits.
constexpr std::size_t MAX_NAME_LENGTH = 65535;

// The value of a field's two bytes: the count as stored, a name's length.
constexpr std::uint32_t FieldValue(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::uint32_t>(low | high << 8);
}

// The entries the preloader tries for a count field's two bytes.
constexpr int EntriesOfCount(std::uint8_t low, std::uint8_t high) {
  return (high & 0x80) ? 0 : static_cast<int>(FieldValue(low, high));
}

// The two bytes of a count or name length field; the value is taken as 16
// bits (a name of 65,536 bytes or more has no field of its own).
inline void PutField(std::uint8_t field[2], std::size_t value) {
  field[0] = static_cast<std::uint8_t>(value & 0xFF);
  field[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Reads a name field's length through `read(void* to, std::size_t count)`,
// which returns how many bytes arrived; `whole` says whether both did. A
// length cut short counts as 0.
template <typename Read>
std::uint32_t ReadNameLength(Read read, bool& whole) {
  std::uint8_t field[NAME_LENGTH_BYTES] = {};
  whole = read(field, NAME_LENGTH_BYTES) == static_cast<std::size_t>(NAME_LENGTH_BYTES);
  return whole ? FieldValue(field[0], field[1]) : 0;
}

// Writes a name field to `out`: its length, then its bytes.
inline bool WriteNameField(std::FILE* out, const char* name, std::size_t length) {
  std::uint8_t field[NAME_LENGTH_BYTES];
  PutField(field, length);
  return std::fwrite(field, 1, NAME_LENGTH_BYTES, out) == static_cast<std::size_t>(NAME_LENGTH_BYTES) &&
         std::fwrite(name, 1, length, out) == length;
}

// Writes the count field of `count` entries to `out`.
inline bool WriteCountField(std::FILE* out, std::size_t count) {
  std::uint8_t field[ENTRY_COUNT_BYTES];
  PutField(field, count);
  return std::fwrite(field, 1, ENTRY_COUNT_BYTES, out) == static_cast<std::size_t>(ENTRY_COUNT_BYTES);
}
