#include "sha256.h"

#include "sha256_constants.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

const std::uint32_t SHA256_ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

const std::uint32_t INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

using BlockFunction = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t);

// Chosen on first use; the answer is the same every time, so a race
// between threads only chooses twice.
BlockFunction ChosenBlocks() {
  static BlockFunction chosen = nullptr;
  if (!chosen) {
#if defined(__i386__) || defined(__x86_64__)
    chosen = ProcessorHasShaNi() ? Sha256BlocksShaNi : Sha256BlocksPortable;
#else
    chosen = Sha256BlocksPortable;
#endif
  }
  return chosen;
}

}  // namespace

bool ProcessorHasShaNi() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & bit_SHA) != 0;
#else
  return false;
#endif
}

void Sha256BlocksPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += SHA256_BLOCK_SIZE) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = BigEndian32(data + 4 * t);
    for (int t = 16; t < 64; ++t) {
      std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
      std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
      std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                         SHA256_ROUND_CONSTANTS[t] + w[t];
      std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

Sha256::Sha256() { Reset(); }

void Sha256::Reset() {
  std::memcpy(state_, INITIAL_STATE, sizeof state_);
  length_ = 0;
}

void Sha256::Update(const void* data, std::size_t size) {
  const std::uint8_t* in = static_cast<const std::uint8_t*>(data);
  std::size_t held = static_cast<std::size_t>(length_ % SHA256_BLOCK_SIZE);
  length_ += size;
  if (held) {
    std::size_t take = SHA256_BLOCK_SIZE - held;
    if (take > size) take = size;
    std::memcpy(pending_ + held, in, take);
    in += take;
    size -= take;
    if (held + take < SHA256_BLOCK_SIZE) return;
    ChosenBlocks()(state_, pending_, 1);
  }
  if (size >= SHA256_BLOCK_SIZE) {
    std::size_t blocks = size / SHA256_BLOCK_SIZE;
    ChosenBlocks()(state_, in, blocks);
    in += blocks * SHA256_BLOCK_SIZE;
    size -= blocks * SHA256_BLOCK_SIZE;
  }
  if (size) std::memcpy(pending_, in, size);
}

void Sha256::Final(std::uint8_t digest[SHA256_DIGEST_SIZE]) {
  const std::uint64_t bits = length_ * 8;
  std::uint8_t tail[2 * SHA256_BLOCK_SIZE] = {};
  std::size_t held = static_cast<std::size_t>(length_ % SHA256_BLOCK_SIZE);
  std::memcpy(tail, pending_, held);
  tail[held] = 0x80;
  std::size_t total = held + 1 + 8 <= SHA256_BLOCK_SIZE ? SHA256_BLOCK_SIZE : 2 * SHA256_BLOCK_SIZE;
  for (int i = 0; i < 8; ++i) tail[total - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  ChosenBlocks()(state_, tail, total / SHA256_BLOCK_SIZE);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<std::uint8_t>(state_[i] >> 24);
    digest[4 * i + 1] = static_cast<std::uint8_t>(state_[i] >> 16);
    digest[4 * i + 2] = static_cast<std::uint8_t>(state_[i] >> 8);
    digest[4 * i + 3] = static_cast<std::uint8_t>(state_[i]);
  }
  Reset();
}
