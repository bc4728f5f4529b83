#include "container/container_streams.h"

#include "files/input_file.h"

unsigned JobsFor(std::size_t members, unsigned jobs) {
  if (members < jobs) jobs = static_cast<unsigned>(members);
  return jobs > 0 ? jobs : 1;
}

ContainerStreams::ContainerStreams(ContainerReader& reader, std::string path)
    : reader_(reader), path_(std::move(path)) {}

ContainerStreams::~ContainerStreams() {
  for (std::size_t k = 1; k < streams_.size(); ++k) std::fclose(streams_[k]);
}

bool ContainerStreams::Open(unsigned workers, std::string& failure) {
  streams_.push_back(reader_.Stream());
  while (streams_.size() < workers) {
    FILE* stream = ReopenInputFile(path_, reader_.Identity(), reader_.Stamp(), failure);
    if (!stream) return false;
    streams_.push_back(stream);
  }
  codecs_.resize(streams_.size());
  return true;
}

std::function<std::uint64_t(std::size_t)> TokenBytesOf(const std::vector<StoredEntry>& entries) {
  return [&entries](std::size_t index) -> std::uint64_t { return entries[index].Header.PackedSize; };
}

TLZSS& ContainerStreams::Codec(unsigned worker) {
  if (!codecs_[worker]) codecs_[worker] = std::make_unique<WorkerCodec>();
  return *codecs_[worker];
}
