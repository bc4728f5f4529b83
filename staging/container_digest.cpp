#include "container_digest.h"

#include <cstring>

#ifdef _WIN32
#include <x86intrin.h>
#endif

#include "stream_position.h"

#ifdef _WIN32

namespace {

// How long the hashing thread polls for the next block before it sleeps
// between polls, in time-stamp counter ticks (some milliseconds): many
// times longer than decoding one block takes. Counted in time, not in
// polls, since a pause lasts 3 cycles on one processor and 140 on
// another. A block that comes while it sleeps is hashed by the decoding
// thread.
constexpr unsigned long long TICKS_BEFORE_SLEEP = 10000000;

inline void Pause() { __builtin_ia32_pause(); }

}  // namespace

ContainerDigest::ContainerDigest() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  // With one processor a second thread would only take turns with the
  // decoding: every block is then hashed when it is taken.
  if (system.dwNumberOfProcessors > 1)
    thread_ = CreateThread(nullptr, 64 * 1024, HashBlocks, this, 0, nullptr);
}

ContainerDigest::~ContainerDigest() { EndThread(); }

void ContainerDigest::EndThread() {
  if (!thread_) return;
  Release();
  __atomic_store_n(&state_, ENDING, __ATOMIC_RELEASE);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI ContainerDigest::HashBlocks(void* self) {
  ContainerDigest& digest = *static_cast<ContainerDigest*>(self);
  unsigned long long idleSince = __rdtsc();
  for (;;) {
    int expected = BLOCK_POSTED;
    if (__atomic_compare_exchange_n(&digest.state_, &expected, HASHING, false, __ATOMIC_ACQUIRE,
                                    __ATOMIC_ACQUIRE)) {
      digest.hash_.Update(digest.pending_, digest.pendingSize_);
      __atomic_store_n(&digest.state_, IDLE, __ATOMIC_RELEASE);
      idleSince = __rdtsc();
    } else if (expected == ENDING) {
      return 0;
    } else if (__rdtsc() - idleSince < TICKS_BEFORE_SLEEP) {
      Pause();
    } else {
      Sleep(1);  // between members, or once the decoding is over
    }
  }
}

void ContainerDigest::TakeBlock(const std::uint8_t* bytes, std::size_t count) {
  if (!thread_) return Take(bytes, count);
  Release();  // one block at a time, in order
  taken_ += count;
  pending_ = bytes;
  pendingSize_ = count;
  __atomic_store_n(&state_, BLOCK_POSTED, __ATOMIC_RELEASE);
}

void ContainerDigest::Release() {
  if (!thread_) return;
  // Not started yet: the block is taken back and hashed here.
  int expected = BLOCK_POSTED;
  if (__atomic_compare_exchange_n(&state_, &expected, IDLE, false, __ATOMIC_ACQUIRE, __ATOMIC_ACQUIRE)) {
    hash_.Update(pending_, pendingSize_);
    return;
  }
  // Being hashed: that takes the other thread some dozens of microseconds.
  for (int polls = 1; __atomic_load_n(&state_, __ATOMIC_ACQUIRE) == HASHING; ++polls) {
    Pause();
    if (polls % 4096 == 0) Sleep(0);
  }
}

#else

// The test platform has no threads: every block is hashed when it is taken.
ContainerDigest::ContainerDigest() {}
ContainerDigest::~ContainerDigest() {}
void ContainerDigest::TakeBlock(const std::uint8_t* bytes, std::size_t count) { Take(bytes, count); }
void ContainerDigest::Release() {}
void ContainerDigest::EndThread() {}

#endif

void ContainerDigest::Take(const std::uint8_t* bytes, std::size_t count) {
  Release();  // after the block before, in order
  taken_ += count;
  hash_.Update(bytes, count);
}

bool ContainerDigest::TakeRest(FILE* stream) {
  if (!StreamSeek(stream, 0, SEEK_END)) return false;
  const std::int64_t end = StreamTell(stream);
  // The stream may stand before bytes already taken (a member that failed
  // leaves it behind the last token decoded); they are not taken twice.
  if (end < 0 || !StreamSeek(stream, static_cast<std::int64_t>(taken_), SEEK_SET)) return false;
  std::uint8_t block[16384];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, stream)) > 0) Take(block, got);
  // Fewer bytes than the file holds: a read failed (or the file changed).
  return static_cast<std::int64_t>(taken_) == end;
}

bool ContainerDigest::Matches(const std::uint8_t expected[SHA256_DIGEST_SIZE]) {
  // Nothing is left to hash: the thread goes before the installer starts.
  EndThread();
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash_.Final(digest);
  return std::memcmp(digest, expected, SHA256_DIGEST_SIZE) == 0;
}
