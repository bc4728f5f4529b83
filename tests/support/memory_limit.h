// A limit on the memory a piece of code may take, for the tests of readers
// of hostile files: every operator new of the program is counted, and one
// that would take the bytes allocated beyond the limit fails with
// std::bad_alloc, as on a machine that has no more. Link memory_limit into
// a test program to count its allocations.
#pragma once

#include <cstddef>

class ScopedMemoryLimit {
 public:
  // At most `bytes` more than are allocated now, until the object goes.
  explicit ScopedMemoryLimit(std::size_t bytes);
  ~ScopedMemoryLimit();
  ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
  ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

  // The most that was allocated beyond the start at any moment.
  std::size_t Peak() const;

 private:
  std::size_t base_;
};
