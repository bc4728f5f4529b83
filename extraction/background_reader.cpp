#include "background_reader.h"

#include "stream_read.h"

void BackgroundReader::Post(FILE* stream, std::int64_t position, std::uint8_t* to, std::size_t count) {
  stream_ = stream;
  position_ = position;
  to_ = to;
  count_ = count;
  got_ = 0;
  worker_.Post(WorkerThread::READING, ReadBlock, this);
}

std::size_t BackgroundReader::Wait() {
  worker_.Finish(WorkerThread::READING);
  return got_;
}

void BackgroundReader::ReadBlock(void* self) {
  BackgroundReader& reader = *static_cast<BackgroundReader*>(self);
  reader.got_ = ReadAt(reader.stream_, reader.position_, reader.to_, reader.count_);
}
