// The yardstick of the encoder: the plain tree encoder working in memory,
// from a byte array into a byte array, with no stdio and no file. Encode,
// which reads and writes real files, has to beat it with the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// The most token bytes `size` input bytes can give: all literals, one flag
// byte for every eight.
constexpr std::size_t ClassicTokenCapacity(std::size_t size) { return size + size / 8 + 1; }

// Writes the token stream of data[0, size) into `tokens`, which holds
// ClassicTokenCapacity(size) bytes; returns the number of token bytes.
std::size_t ClassicEncode(const std::uint8_t* data, std::size_t size, std::uint8_t* tokens);
