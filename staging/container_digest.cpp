#include "container_digest.h"

#include <cstring>

#include "stream_position.h"

#ifdef _WIN32

namespace {

// How long the hashing thread polls for the next block before it sleeps
// between polls: far longer than decoding one block takes.
constexpr int POLLS_BEFORE_SLEEP = 200000;

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

ContainerDigest::~ContainerDigest() {
  if (!thread_) return;
  Release();
  __atomic_store_n(&state_, ENDING, __ATOMIC_RELEASE);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

DWORD WINAPI ContainerDigest::HashBlocks(void* self) {
  ContainerDigest& digest = *static_cast<ContainerDigest*>(self);
  int polls = 0;
  for (;;) {
    const int state = __atomic_load_n(&digest.state_, __ATOMIC_ACQUIRE);
    if (state == ENDING) return 0;
    if (state == BLOCK_POSTED) {
      digest.hash_.Update(digest.pending_, digest.pendingSize_);
      __atomic_store_n(&digest.state_, IDLE, __ATOMIC_RELEASE);
      polls = 0;
    } else if (++polls < POLLS_BEFORE_SLEEP) {
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
  // A block takes the other thread some dozens of microseconds; should it
  // not get a processor, the decoding gives its own up now and then.
  for (int polls = 1; __atomic_load_n(&state_, __ATOMIC_ACQUIRE) == BLOCK_POSTED; ++polls) {
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
  Release();
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash_.Final(digest);
  return std::memcmp(digest, expected, SHA256_DIGEST_SIZE) == 0;
}
