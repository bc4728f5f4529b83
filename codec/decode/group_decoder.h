// The decoder's inner loop: whole groups of tokens from a block of token
// bytes into a linear window of output, with nothing checked, because the
// caller has made sure that the block holds every group's bytes and the
// window has room for all they can produce.
//
// The loop is written once and built twice on 32-bit x86: with 8-byte moves
// in the integer registers, which every processor has, and with the SSE2
// registers, which halve the moves and which the decoder picks at run time
// where the processor has them. Everything here has internal linkage, so
// that no function built for SSE2 can stand in for one built without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lzss.h"

// Where the loop stands: the next token byte, the next output byte, and the
// address of ring position 0 modulo 4096, so that the byte at address a
// holds ring position (a - Origin) & 4095.
struct GroupCursor {
  const std::uint8_t* In;
  std::uint8_t* Out;
  std::uintptr_t Origin;
};

namespace {

constexpr unsigned RING_MASK = RING_SIZE - 1;
constexpr std::size_t GROUP_BYTES = 1 + 8 * 2;       // a flag byte and eight matches
constexpr std::size_t GROUP_OUTPUT = 8 * MAX_MATCH;  // the most a group can produce
// A match is copied as 24 bytes whatever its length, so a copy may write
// this far beyond the bytes it produces; the window keeps room for that.
// A run of literals is copied as 8 bytes, which may read as far beyond the
// group's last token byte; the block keeps room for that.
constexpr std::size_t COPY_SPAN = 24;
constexpr std::size_t RUN_SPAN = 8;

// 8-byte moves through the integer registers.
struct WordMoves {
  static void Eight(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 8); }
};

// A match closer than eight bytes back repeats a short pattern: the first
// eight bytes come one at a time from the bytes before `to`, the rest eight
// at a time from a whole number of periods back, at least eight bytes.
// Rare, and kept out of the loop, whose registers it would otherwise take.
__attribute__((noinline)) inline void FillPattern(std::uint8_t* to, const std::uint8_t* from,
                                                  unsigned distance) {
  if (distance == 1) {
    std::memset(to, *from, COPY_SPAN);
    return;
  }
  unsigned k = 0;
  for (int i = 0; i < 8; ++i) {
    to[i] = from[k];
    k = k + 1 == distance ? 0 : k + 1;
  }
  static const std::uint8_t kPeriods[8] = {0, 8, 8, 9, 8, 10, 12, 14};
  const unsigned step = kPeriods[distance];
  WordMoves::Eight(to + 8, to + 8 - step);
  WordMoves::Eight(to + 16, to + 16 - step);
}

// Decodes `groups` (at least one) whole groups.
//
// A group goes as runs of literals, each copied as eight bytes, between
// matches: the run's length is the count of 1-bits below the next 0-bit,
// so a flag byte's pattern of literals and matches costs no guessing.
template <class Moves>
inline void DecodeGroupsWith(GroupCursor& cursor, std::size_t groups) {
  const std::uint8_t* in = cursor.In;
  std::uint8_t* out = cursor.Out;
  // (out - origin - position) & 4095 is the match's distance less one.
  const std::uintptr_t origin = cursor.Origin + 1;
  do {
    // The group's matches as 1-bits, and a 1-bit above them that ends it.
    unsigned matches = (~static_cast<unsigned>(*in++) & 0xFF) | 0x100;
    for (;;) {
      const unsigned run = static_cast<unsigned>(__builtin_ctz(matches));
      // The bytes beyond the run land where the next token writes.
      Moves::Eight(out, in);
      in += run;
      out += run;
      matches >>= run;
      if (matches == 1) break;
      matches >>= 1;
      const unsigned word = in[0] | static_cast<unsigned>(in[1]) << 8;
      in += 2;
      const unsigned position = (word & 0xFF) | ((word >> 4) & 0xF00);
      const std::uint8_t* from =
          out - 1 -
          ((static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(out) - origin) - position) & RING_MASK);
      if (out - from >= 8) {
        // Each step reads only bytes written before it; what lands beyond
        // the match is overwritten by the bytes that follow.
        Moves::Eight(out, from);
        Moves::Eight(out + 8, from + 8);
        Moves::Eight(out + 16, from + 16);
      } else {
        FillPattern(out, from, static_cast<unsigned>(out - from));
      }
      out += ((word >> 8) & 0x0F) + MATCH_THRESHOLD + 1;
    }
  } while (--groups);
  cursor.In = in;
  cursor.Out = out;
}

}  // namespace

#if defined(__i386__)
// The loop with SSE2 moves (group_decoder_sse2.cpp), for a processor that
// has them.
void DecodeGroupsSse2(GroupCursor& cursor, std::size_t groups);
bool ProcessorHasSse2();
#endif
