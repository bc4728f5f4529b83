// The SHA-256 of SETUP.TMP, made from the bytes the extraction takes from it
// as it takes them: what was checked is what was unpacked.
#pragma once

#include <cstdio>

#include "lzss.h"
#include "sha256.h"
#include "worker_thread.h"

// The token blocks are hashed on the worker thread, where there is one,
// while the decoding goes on; everything else is hashed on the caller's
// thread, in order.
class ContainerDigest final : public InputTap {
 public:
  // Without a worker, every block is hashed when it is taken.
  explicit ContainerDigest(WorkerThread* worker = nullptr) : worker_(worker) {}
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
  static void HashPending(void* self);
  WorkerThread* worker_;
  const std::uint8_t* pending_ = nullptr;
  std::size_t pendingSize_ = 0;
  Sha256 hash_;
  std::uint64_t taken_ = 0;
};
