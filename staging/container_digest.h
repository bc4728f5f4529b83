// The SHA-256 of SETUP.TMP, made from the bytes the extraction takes from it
// as it takes them: what was checked is what was unpacked.
#pragma once

#include <cstdio>

#include "lzss.h"
#include "sha256.h"

class ContainerDigest : public InputTap {
 public:
  void Take(const std::uint8_t* bytes, std::size_t count) override { hash_.Update(bytes, count); }

  // Hashes the rest of the file, from the byte behind the last one taken to
  // its end. False when the rest could not be read: the file then cannot
  // be the one bound.
  bool TakeRest(FILE* stream);

  // Whether the bytes taken are the file whose SHA-256 is `expected`.
  bool Matches(const std::uint8_t expected[SHA256_DIGEST_SIZE]);

 private:
  Sha256 hash_;
};
