// The binding record this SETUP.EXE carries.
#pragma once

#include <cstdint>

#include "sha256.h"

// False for a preloader that is not bound; true with the SHA-256 that its
// SETUP.TMP must have.
bool ReadBoundDigest(std::uint8_t digest[SHA256_DIGEST_SIZE]);
