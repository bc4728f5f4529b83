// Reading the file under a buffered stream at a position, past the
// stream's own buffer, which would only add a copy of every byte and a
// system call for every buffer's worth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The stream's position when its bytes can be read straight from its file
// (a file on a disk, not a pipe or a stream in memory); -1 otherwise.
std::int64_t DirectReadStart(FILE* stream);

// Reads up to size bytes at `position` of the stream's file. Returns the
// count read, less than size only at the end of the file or on an error.
// The stream does not follow, and the file's position may move under it:
// put the stream where reading should go on with StreamSeek
// (stream_position.h) before it is read again. Not for two threads at once
// on one file.
std::size_t ReadAt(FILE* stream, std::int64_t position, void* to, std::size_t size);
