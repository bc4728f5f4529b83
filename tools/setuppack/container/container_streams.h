// Each worker's own way into one container: a stream on it and a codec.
// The first worker reads through the stream the walk read; every other
// opens the container again by its path, which must still lead to the very
// file the walk read (see ReopenInputFile), since a container may lie in a
// directory that others can write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/container_reader.h"
#include "container/worker_codec.h"

// The workers for `members` members: `jobs`, but none without a member and
// at least one.
unsigned JobsFor(std::size_t members, unsigned jobs);

// What a member costs to decode or check, as far as the workers guess it
// before they start (see RunInOrder): its token bytes.
std::function<std::uint64_t(std::size_t)> TokenBytesOf(const std::vector<StoredEntry>& entries);

class ContainerStreams {
 public:
  ContainerStreams(ContainerReader& reader, std::string path);
  ~ContainerStreams();
  ContainerStreams(const ContainerStreams&) = delete;
  ContainerStreams& operator=(const ContainerStreams&) = delete;

  // Opens the streams of `workers` workers; false with the reason.
  bool Open(unsigned workers, std::string& failure);
  unsigned Count() const { return static_cast<unsigned>(streams_.size()); }

  // For worker `worker` alone: its stream, and its codec, made on first use.
  FILE* Stream(unsigned worker) const { return streams_[worker]; }
  TLZSS& Codec(unsigned worker);

 private:
  ContainerReader& reader_;
  std::string path_;
  std::vector<FILE*> streams_;
  std::vector<std::unique_ptr<WorkerCodec>> codecs_;
};
