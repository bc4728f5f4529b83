#include "files/file_digest.h"

#include <cstdio>
#include <vector>

#include "base/system_error.h"

bool FileSha256(const std::string& path, std::uint8_t digest[SHA256_DIGEST_SIZE], std::string& why) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    why = "cannot open: " + ErrnoText();
    return false;
  }
  Sha256 hash;
  std::vector<std::uint8_t> block(1 << 20);
  std::size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) hash.Update(block.data(), got);
  const bool failed = std::ferror(file) != 0;
  if (failed) why = "read error: " + ErrnoText();
  std::fclose(file);
  if (failed) return false;
  hash.Final(digest);
  return true;
}

std::string HexOf(const std::uint8_t* bytes, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 15]);
  }
  return text;
}
