// The 64 round constants of SHA-256, shared by its two compression functions.
#pragma once

#include <cstdint>

extern const std::uint32_t SHA256_ROUND_CONSTANTS[64];
