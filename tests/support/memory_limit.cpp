// The program's operator new and delete, counting: each block carries its
// size in a header of 16 bytes, which keeps the alignment that operator new
// promises.
#include "memory_limit.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t HEADER = 16;
std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> limit{SIZE_MAX};

void* Allocate(std::size_t size) {
  const std::size_t now = live.fetch_add(size) + size;
  void* block = now <= limit.load() ? std::malloc(size + HEADER) : nullptr;
  if (!block) {
    live.fetch_sub(size);
    throw std::bad_alloc();
  }
  for (std::size_t seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
  }
  *static_cast<std::size_t*>(block) = size;
  return static_cast<char*>(block) + HEADER;
}

void Free(void* pointer) {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - HEADER;
  live.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

// Every form that pairs with the plain delete, the nothrow ones included:
// a sanitizer's runtime brings its own of each, and a block from one that
// reached the other would be freed wrongly. (The aligned forms stay the
// runtime's, both ways.)
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* pointer) noexcept { Free(pointer); }
void operator delete[](void* pointer) noexcept { Free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }

ScopedMemoryLimit::ScopedMemoryLimit(std::size_t bytes) : base_(live.load()) {
  peak.store(base_);
  limit.store(base_ + bytes);
}

ScopedMemoryLimit::~ScopedMemoryLimit() { limit.store(SIZE_MAX); }

std::size_t ScopedMemoryLimit::Peak() const { return peak.load() - base_; }
