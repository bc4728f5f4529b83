// The member format read the plainest way: one getc per token byte, one
// putc per output byte, a 4096-byte ring. It is the yardstick of the
// decoder's speed and the reference its fast paths are held to.
#pragma once

#include <cstdint>
#include <cstdio>

struct PlainDecodeResult {
  int Result = 0;  // 1 when the output has UnpackedSize bytes
  std::uint32_t UnpackedSize = 0;
  std::uint32_t PackedSize = 0;
  std::uint64_t Written = 0;  // bytes written to the output
};

// Reads one member from input's current position; writes the decoded bytes.
// Ring positions 4078 to 4095 start as 0, as in the codec.
PlainDecodeResult PlainDecode(FILE* input, FILE* output);
