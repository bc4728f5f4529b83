// SHA-256 fed any bytes in pieces that the input chooses gives OpenSSL's
// digest, and its two compression functions agree on every whole block.
#include <openssl/sha.h>

#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "sha256.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte sets the piece size; the rest is the message.
  const std::size_t piece = 1 + data[0] * 3;
  const std::uint8_t* message = data + 1;
  const std::size_t length = size - 1;
  Sha256 hash;
  for (std::size_t at = 0; at < length; at += piece)
    hash.Update(message + at, length - at < piece ? length - at : piece);
  std::uint8_t digest[SHA256_DIGEST_SIZE], expected[SHA256_DIGEST_SIZE];
  hash.Final(digest);
  SHA256(message, length, expected);
  FUZZ_CHECK(std::memcmp(digest, expected, sizeof digest) == 0);

#if defined(__i386__) || defined(__x86_64__)
  if (ProcessorHasShaNi() && length >= SHA256_BLOCK_SIZE) {
    std::uint32_t portable[8], extensions[8];
    for (int i = 0; i < 8; ++i) portable[i] = extensions[i] = 0x01234567u * (i + 1);
    Sha256BlocksPortable(portable, message, length / SHA256_BLOCK_SIZE);
    Sha256BlocksShaNi(extensions, message, length / SHA256_BLOCK_SIZE);
    FUZZ_CHECK(std::memcmp(portable, extensions, sizeof portable) == 0);
  }
#endif
  return 0;
}
