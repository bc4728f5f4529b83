#include "classic_decoder.h"

#include <cstring>

std::size_t ClassicDecode(const std::uint8_t* member, std::size_t size, std::uint8_t* output,
                          std::size_t capacity) {
  if (size < 36) return 0;
  std::uint32_t packed = 0;
  for (int i = 3; i >= 0; --i) packed = (packed << 8) | member[32 + i];
  const std::uint8_t* in = member + 36;
  const std::uint8_t* end = in + (packed < size - 36 ? packed : size - 36);
  std::uint8_t* out = output;
  // Checked once per group, which produces at most eight matches of 18.
  std::uint8_t* const lastGroup = capacity >= 144 ? output + capacity - 144 : output;

  std::uint8_t ring[4096];
  std::memset(ring, ' ', 4078);
  std::memset(ring + 4078, 0, 18);
  unsigned r = 4078;
  unsigned flags = 0;
  for (;;) {
    if (((flags >>= 1) & 0x100) == 0) {
      if (in == end || out > lastGroup) break;
      flags = *in++ | 0xFF00u;
    }
    if (flags & 1) {
      if (in == end) break;
      std::uint8_t c = *in++;
      *out++ = c;
      ring[r] = c;
      r = (r + 1) & 0xFFF;
    } else {
      if (end - in < 2) break;
      unsigned position = in[0] | ((in[1] & 0xF0u) << 4);
      unsigned length = (in[1] & 0x0Fu) + 3;
      in += 2;
      for (unsigned k = 0; k < length; ++k) {
        std::uint8_t c = ring[(position + k) & 0xFFF];
        *out++ = c;
        ring[r] = c;
        r = (r + 1) & 0xFFF;
      }
    }
  }
  return static_cast<std::size_t>(out - output);
}
