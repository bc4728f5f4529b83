// Writing whole blocks to the file under a buffered stream, past the
// stream's own buffer, which would only add a copy of every block.
#pragma once

#include <cstddef>
#include <cstdio>

// Flushes the stream and returns the descriptor of its file, or -1 when it
// has none (a stream in memory) or the flush failed.
int FlushedDescriptor(FILE* stream);

// Writes size bytes to the descriptor at its current position; returns the
// number written, less than size only on an error.
std::size_t WriteDescriptor(int descriptor, const void* data, std::size_t size);
