// The SHA-256 of SETUP.TMP, made from the bytes the extraction takes from it
// as it takes them: what was checked is what was unpacked.
#pragma once

#include <cstdio>

#include "lzss.h"
#include "sha256.h"
#include "win32.h"

// On Windows with more than one processor the token blocks are hashed by a
// thread of the digest's own while the decoding goes on, so that the check
// adds little to the run; everything else is hashed on the caller's
// thread, in order. The two threads hand each block over through one word
// in memory, not through the system: a block comes every few dozen
// microseconds, and under Wine every wait on a system object is a trip to
// its server. A block the thread has not started on when the decoding
// needs its bytes back is hashed by the decoding thread itself, so that a
// hashing thread that the system has set aside never holds the decoding up.
class ContainerDigest final : public InputTap {
 public:
  ContainerDigest();
  ~ContainerDigest();
  ContainerDigest(const ContainerDigest&) = delete;
  ContainerDigest& operator=(const ContainerDigest&) = delete;

  void Take(const std::uint8_t* bytes, std::size_t count) override;
  void TakeBlock(const std::uint8_t* bytes, std::size_t count) override;
  void Release() override;

  // Hashes the rest of the file, from the byte behind the last one taken to
  // its end. False when the rest could not be read: the file then cannot
  // be the one bound.
  bool TakeRest(FILE* stream);

  // Whether the bytes taken are the file whose SHA-256 is `expected`.
  bool Matches(const std::uint8_t expected[SHA256_DIGEST_SIZE]);

 private:
  void EndThread();
#ifdef _WIN32
  static DWORD WINAPI HashBlocks(void* self);
  enum : int { IDLE, BLOCK_POSTED, HASHING, ENDING };
  HANDLE thread_ = nullptr;
  int state_ = IDLE;  // read and written with atomic operations only
  const std::uint8_t* pending_ = nullptr;
  std::size_t pendingSize_ = 0;
#endif
  Sha256 hash_;
  std::uint64_t taken_ = 0;
};
