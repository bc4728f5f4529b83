// SHA-256 held to the FIPS 180-4 examples, its two compression functions to
// each other, and (natively) to OpenSSL on every length up to 4 KiB fed in
// uneven pieces.
#include <gtest/gtest.h>

#include <string>

#include "sha256.h"
#include "test_files.h"

#ifdef PRELOADER_TEST_OPENSSL
#include <openssl/sha.h>
#endif

namespace {

std::string Hex(const std::uint8_t* digest) {
  std::string text;
  for (int i = 0; i < 32; ++i)
    text += "0123456789abcdef"[digest[i] >> 4], text += "0123456789abcdef"[digest[i] & 15];
  return text;
}

// The digest of `data` fed in pieces of `piece` bytes.
std::string Digest(const Bytes& data, std::size_t piece) {
  Sha256 hash;
  for (std::size_t at = 0; at < data.size(); at += piece)
    hash.Update(data.data() + at, std::min(piece, data.size() - at));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash.Final(digest);
  return Hex(digest);
}

}  // namespace

TEST(Sha256, GivesTheStandardsExampleDigests) {
  EXPECT_EQ(Digest(BytesOf(""), 1), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Digest(BytesOf("abc"), 1), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Digest(BytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), 7),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Digest(Bytes(1000000, 'a'), 4099),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, BothCompressionFunctionsAgree) {
  if (!ProcessorHasShaNi()) GTEST_SKIP() << "this processor has no SHA extensions";
#if defined(__i386__) || defined(__x86_64__)
  const Bytes data = RandomBytes(64 * 37, 5);
  for (std::size_t blocks : {1u, 2u, 37u}) {
    std::uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8}, extensions[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Sha256BlocksPortable(portable, data.data(), blocks);
    Sha256BlocksShaNi(extensions, data.data(), blocks);
    EXPECT_TRUE(std::equal(portable, portable + 8, extensions)) << blocks << " blocks";
  }
#endif
}

#ifdef PRELOADER_TEST_OPENSSL
TEST(Sha256, MatchesOpenSslOnEveryLengthInAnyPieces) {
  const Bytes data = RandomBytes(4096, 11);
  for (std::size_t length = 0; length <= data.size(); ++length) {
    const Bytes part(data.begin(), data.begin() + length);
    std::uint8_t expected[SHA256_DIGEST_SIZE];
    SHA256(part.data(), part.size(), expected);
    ASSERT_EQ(Digest(part, 1 + length % 97), Hex(expected)) << length << " bytes";
  }
}
#endif
