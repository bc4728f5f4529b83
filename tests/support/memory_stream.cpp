#include "memory_stream.h"

#include <cstdlib>

namespace {

// The C library could not make a stream over memory: nothing to test with.
void Require(bool made, const char* what) {
  if (made) return;
  std::fprintf(stderr, "memory stream: %s failed\n", what);
  std::abort();
}

}  // namespace

FILE* OpenMemoryInput(const std::uint8_t* data, std::size_t size) {
  // libFuzzer may hand an empty input without a buffer; fmemopen wants one.
  static std::uint8_t empty[1];
  FILE* stream = fmemopen(size ? const_cast<std::uint8_t*>(data) : empty, size, "rb");
  Require(stream != nullptr, "fmemopen");
  return stream;
}

MemoryOutput::MemoryOutput() : stream_(open_memstream(&buffer_, &size_)) {
  Require(stream_ != nullptr, "open_memstream");
}

MemoryOutput::~MemoryOutput() {
  std::fclose(stream_);
  std::free(buffer_);
}

Bytes MemoryOutput::Contents() {
  // The size the stream reports is its position, not the end of its data.
  fseeko(stream_, 0, SEEK_END);
  std::fflush(stream_);
  return Bytes(buffer_, buffer_ + size_);
}
