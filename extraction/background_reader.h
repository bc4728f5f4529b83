// Reads a member's next token block on the worker thread while the block
// before decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "lzss.h"
#include "worker_thread.h"

class BackgroundReader final : public BlockReader {
 public:
  explicit BackgroundReader(WorkerThread& worker) : worker_(worker) {}

  void Post(FILE* stream, std::int64_t position, std::uint8_t* to, std::size_t count) override;
  std::size_t Wait() override;

 private:
  static void ReadBlock(void* self);
  WorkerThread& worker_;
  FILE* stream_ = nullptr;
  std::int64_t position_ = 0;
  std::uint8_t* to_ = nullptr;
  std::size_t count_ = 0;
  std::size_t got_ = 0;
};
