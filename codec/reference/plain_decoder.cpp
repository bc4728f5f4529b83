#include "plain_decoder.h"

#include <cstring>

namespace {

std::uint32_t ReadField(FILE* input) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    int c = std::getc(input);
    if (c == EOF) break;
    value |= static_cast<std::uint32_t>(c) << (8 * i);
  }
  return value;
}

}  // namespace

PlainDecodeResult PlainDecode(FILE* input, FILE* output) {
  PlainDecodeResult result;
  if (ReadField(input) != 0x00137457) return result;
  for (int i = 0; i < 6; ++i) ReadField(input);
  result.UnpackedSize = ReadField(input);
  result.PackedSize = ReadField(input);
  if (result.UnpackedSize == 0) {
    result.Result = 1;
    return result;
  }

  std::uint8_t ring[4096];
  std::memset(ring, ' ', 4078);
  std::memset(ring + 4078, 0, 18);
  unsigned position = 4078;
  std::uint32_t fetched = 0;
  auto fetch = [&](int& c) {
    if (fetched++ >= result.PackedSize) return false;
    c = std::getc(input);
    return c != EOF;
  };
  auto emit = [&](int c) {
    std::putc(c, output);
    ++result.Written;
    ring[position] = static_cast<std::uint8_t>(c);
    position = (position + 1) & 0xFFF;
  };

  unsigned flags = 0;
  for (;;) {
    int c, b0, b1;
    if (((flags >>= 1) & 0x100) == 0) {
      if (!fetch(c)) break;
      flags = static_cast<unsigned>(c) | 0xFF00;
    }
    if (flags & 1) {
      if (!fetch(c)) break;
      emit(c);
    } else {
      if (!fetch(b0) || !fetch(b1)) break;
      unsigned from = static_cast<unsigned>(b0) | ((static_cast<unsigned>(b1) & 0xF0) << 4);
      for (int k = 0; k < (b1 & 0x0F) + 3; ++k) emit(ring[(from + k) & 0xFFF]);
    }
  }
  result.Result = result.Written == result.UnpackedSize ? 1 : 0;
  return result;
}
