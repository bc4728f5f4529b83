#include "container_digest.h"

#include <cstring>

#include "stream_position.h"

void ContainerDigest::HashPending(void* self) {
  ContainerDigest& digest = *static_cast<ContainerDigest*>(self);
  digest.hash_.Update(digest.pending_, digest.pendingSize_);
}

void ContainerDigest::TakeBlock(const std::uint8_t* bytes, std::size_t count) {
  if (!worker_) return Take(bytes, count);
  Release();  // one block at a time, in order
  taken_ += count;
  pending_ = bytes;
  pendingSize_ = count;
  worker_->Post(WorkerThread::HASHING, HashPending, this);
}

void ContainerDigest::Release() {
  if (worker_) worker_->Finish(WorkerThread::HASHING);
}

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
