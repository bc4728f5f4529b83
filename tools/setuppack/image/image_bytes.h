// A whole file in memory, and little-endian fields in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using ImageBytes = std::vector<std::uint8_t>;

// Whether `size` bytes at offset `at` lie inside `b`. Offsets come from the
// file itself, as large as 32 bits allow: the test never adds them, so that
// nothing wraps around where size_t has 32 bits (setuppack.exe).
inline bool Inside(const ImageBytes& b, std::uint64_t at, std::uint64_t size) {
  return at <= b.size() && size <= b.size() - at;
}

// Fields beyond the end read as 0; callers check sizes first where it
// matters.
inline std::uint32_t Get16(const ImageBytes& b, std::size_t at) {
  return Inside(b, at, 2) ? static_cast<std::uint32_t>(b[at] | b[at + 1] << 8) : 0;
}
inline std::uint32_t Get32(const ImageBytes& b, std::size_t at) {
  return Inside(b, at, 4)
             ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24
             : 0;
}
inline void Put16(ImageBytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(ImageBytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Append16(ImageBytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Append32(ImageBytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PadTo(ImageBytes& b, std::size_t alignment) {
  while (b.size() % alignment) b.push_back(0);
}
