// SETUP.TMP as the extraction reads it: one pass from its first byte to its
// last, every byte read once and handed out in order (the entry count, the
// name fields, the members, for a bound medium the rest of the file). It is
// the decoder's MemberSource, so the bytes go one way: file, input,
// decoder, output.
//
// The file is read in blocks. Where there is a worker thread, the next
// block is read on it while the caller decodes the one before; the block
// is hashed right after it is read, in the same job, so that a bound run's
// digest costs the decoding thread nothing and covers the bytes in the
// order of the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lzss.h"
#include "sha256.h"
#include "win32.h"
#include "worker_thread.h"

class ContainerInput final : public MemberSource {
 public:
  // With `hashed`, every byte read goes into the SHA-256 (Matches).
  ContainerInput(WorkerThread& worker, bool hashed);
  ~ContainerInput();
  ContainerInput(const ContainerInput&) = delete;
  ContainerInput& operator=(const ContainerInput&) = delete;

  // Opens the file for reading, shared for reading and writing as the
  // C library opens one; false when it cannot be opened.
  bool Open(const char* path);

  std::size_t Read(std::uint8_t* to, std::size_t count) override;

  // Reads on to the end of the file, once more where a read had failed.
  // False when a read fails again: the file cannot then be known.
  bool ReadToEnd();

  // Whether the bytes read are the file whose SHA-256 is `expected`.
  bool Matches(const std::uint8_t expected[SHA256_DIGEST_SIZE]);

 private:
  static void ReadBlock(void* self);
  void Post();
  void Wait();
  bool NextBlock();

  WorkerThread& worker_;
  const bool hashed_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::uint8_t* blocks_ = nullptr;  // two blocks: the one handed out, and the one read ahead
  std::uint8_t* current_ = nullptr;
  std::uint8_t* ahead_ = nullptr;
  std::size_t position_ = 0, length_ = 0;  // in the current block
  bool posted_ = false;
  // What the last read found (written by the job, read after its Finish).
  std::size_t got_ = 0;
  bool failed_ = false;       // a read failed: nothing more is read ahead
  bool atEnd_ = false;        // the file ended
  std::uint64_t offset_ = 0;  // the bytes read so far: where the next read starts
  Sha256 hash_;
};
