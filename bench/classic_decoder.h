// The yardstick of the decoder: the member format decoded the classic way,
// entirely in memory. A 4096-byte ring, one byte at a time, no stdio and no
// file: what Decode, which reads and writes real files, has to beat.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the member at the start of `member` (`size` bytes) into `output`,
// which holds `capacity` bytes; returns the number of bytes produced. Stops
// at the end of the member's token bytes, or at a group that might not fit:
// `capacity` should exceed the unpacked size by 144 bytes.
std::size_t ClassicDecode(const std::uint8_t* member, std::size_t size, std::uint8_t* output,
                          std::size_t capacity);
