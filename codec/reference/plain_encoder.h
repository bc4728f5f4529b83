// The encoder's tree search written the plain way: getc per input byte,
// putc per token byte, one byte compared at a time. It is the yardstick of
// Encode's speed and the reference whose bytes Encode must write exactly.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes the token stream of the rest of input (no header); returns the
// number of input bytes read.
std::uint32_t PlainEncodeTokens(FILE* input, FILE* output);
