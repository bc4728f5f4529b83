// 64-bit positions on buffered streams: members are measured and patched by
// absolute position, and the C library's long is 32 bits on Windows.
#pragma once

#include <cstdint>
#include <cstdio>

std::int64_t StreamTell(FILE* stream);
bool StreamSeek(FILE* stream, std::int64_t offset, int origin);
