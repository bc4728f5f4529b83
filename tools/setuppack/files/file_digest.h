// The SHA-256 of a whole file, as a bound SETUP.EXE checks its SETUP.TMP.
#pragma once

#include <cstdint>
#include <string>

#include "sha256.h"

// False with the reason when the file cannot be read to its end.
bool FileSha256(const std::string& path, std::uint8_t digest[SHA256_DIGEST_SIZE], std::string& why);

std::string HexOf(const std::uint8_t* bytes, std::size_t count);
