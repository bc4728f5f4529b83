// The SHA-256 compression function on the processor's SHA extensions. This
// file alone is compiled for them (and SSE4.1); Sha256 calls it only on a
// processor that has them.
#include <immintrin.h>

#include "sha256.h"
#include "sha256_constants.h"

namespace {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

}  // namespace

// 32-bit Windows keeps the stack only 4-byte aligned; the vectors this
// function spills need 16.
__attribute__((force_align_arg_pointer)) void Sha256BlocksShaNi(std::uint32_t state[8],
                                                                const std::uint8_t* data,
                                                                std::size_t blocks) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  // The instructions keep the state as ABEF and CDGH.
  __m128i dcba = _mm_shuffle_epi32(Load(state), 0xB1);      // CDAB
  __m128i efgh = _mm_shuffle_epi32(Load(state + 4), 0x1B);  // EFGH
  __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);

  for (; blocks > 0; --blocks, data += SHA256_BLOCK_SIZE) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    __m128i message[4];
    for (int group = 0; group < 16; ++group) {
      __m128i& words = message[group & 3];
      if (group < 4) {
        words = _mm_shuffle_epi8(Load(data + 16 * group), byteSwap);
      } else {
        // W[t-16] + s0(W[t-15]), + W[t-7], + s1(W[t-2]).
        __m128i next = _mm_sha256msg1_epu32(words, message[(group + 1) & 3]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(message[(group + 3) & 3], message[(group + 2) & 3], 4));
        words = _mm_sha256msg2_epu32(next, message[(group + 3) & 3]);
      }
      __m128i rounds = _mm_add_epi32(words, Load(SHA256_ROUND_CONSTANTS + 4 * group));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, rounds);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(rounds, 0x0E));
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }

  __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
