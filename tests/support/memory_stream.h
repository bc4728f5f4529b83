// Buffered streams over memory, so that a container reaches the codec
// through the same FILE calls as a file would, without touching the disk
// (the fuzzers' inputs, the preloader model's members).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A read-only stream over the bytes (an empty one for size 0). Closed by
// the caller with fclose.
FILE* OpenMemoryInput(const std::uint8_t* data, std::size_t size);

// A growing, seekable stream whose contents can be taken at any time.
class MemoryOutput {
 public:
  MemoryOutput();
  ~MemoryOutput();
  MemoryOutput(const MemoryOutput&) = delete;
  MemoryOutput& operator=(const MemoryOutput&) = delete;

  FILE* Stream() const { return stream_; }
  Bytes Contents();  // flushes first

 private:
  FILE* stream_;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};
