// Comparing two 18-byte strings of the encoder's search trees, whose first
// bytes are equal (each tree holds strings of one first byte).
#pragma once

#include <cstdint>
#include <cstring>

#include "lzss.h"

// Returns the length of the common beginning, 18 when all bytes are equal,
// and sets cmp to the difference of the first bytes that differ (0 when
// none do). Both strings must have 18 readable bytes.
inline int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int& cmp) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  cmp = a[1] - b[1];
  if (cmp != 0) return 1;  // the usual case in data that does not repeat
  // Bytes 2 to 17, eight at a time: the lowest differing byte of the
  // little-endian words is the first that differs.
  for (int at = 2; at < MAX_MATCH; at += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + at, sizeof x);
    std::memcpy(&y, b + at, sizeof y);
    if (std::uint64_t diff = x ^ y) {
      int i = at + __builtin_ctzll(diff) / 8;
      cmp = a[i] - b[i];
      return i;
    }
  }
  cmp = 0;
  return MAX_MATCH;
#else
  int i = 1;
  for (; i < MAX_MATCH; ++i) {
    cmp = a[i] - b[i];
    if (cmp != 0) break;
  }
  return i;
#endif
}
