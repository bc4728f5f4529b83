// SHA-256 (FIPS 180-4): the digest that binds SETUP.EXE to its SETUP.TMP.
//
// Small and free of the C++ runtime, so that SETUP.EXE can carry it. Where
// the processor has the SHA extensions the blocks go through them, chosen
// once at run time; the portable rounds everywhere else give the same
// digest.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t SHA256_DIGEST_SIZE = 32;
constexpr std::size_t SHA256_BLOCK_SIZE = 64;

class Sha256 {
 public:
  Sha256();
  // Hashes the next bytes of the message.
  void Update(const void* data, std::size_t size);
  // Writes the digest; the object then starts a new message.
  void Final(std::uint8_t digest[SHA256_DIGEST_SIZE]);
  // The message's length so far, in bytes.
  std::uint64_t Length() const { return length_; }

 private:
  void Reset();
  std::uint32_t state_[8];
  std::uint64_t length_;
  std::uint8_t pending_[SHA256_BLOCK_SIZE];
};

// The compression function over `blocks` whole 64-byte blocks, portable and
// (on x86 processors that have them) with the SHA extensions. Exposed so
// that the tests can hold the two to each other.
void Sha256BlocksPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);
#if defined(__i386__) || defined(__x86_64__)
void Sha256BlocksShaNi(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);
#endif
// True where the processor has the SHA extensions (and SSE4.1, which their
// code needs); what Sha256 uses.
bool ProcessorHasShaNi();
