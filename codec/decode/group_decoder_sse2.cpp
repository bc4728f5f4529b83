// The group loop built with SSE2 for 32-bit x86, where the integer
// registers take two moves for every eight bytes. This file alone is
// compiled for SSE2; the decoder calls it only on a processor that has it.
#include <emmintrin.h>

#include "group_decoder.h"

namespace {

struct Sse2Moves {
  static void Eight(std::uint8_t* to, const std::uint8_t* from) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)));
  }
};

}  // namespace

void DecodeGroupsSse2(GroupCursor& cursor, std::size_t groups) {
  DecodeGroupsWith<Sse2Moves>(cursor, groups);
}
