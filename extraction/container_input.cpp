#include "container_input.h"

#include <cstdlib>
#include <cstring>

namespace {

// As many bytes as the decoder takes at a time: one read per token block.
constexpr std::size_t BLOCK = 128 * 1024;

}  // namespace

ContainerInput::ContainerInput(WorkerThread& worker, bool hashed) : worker_(worker), hashed_(hashed) {}

ContainerInput::~ContainerInput() {
  Wait();  // a read still out uses the file and the block
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  std::free(blocks_);
}

bool ContainerInput::Open(const char* path) {
  file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  blocks_ = static_cast<std::uint8_t*>(std::malloc(2 * BLOCK));
  current_ = blocks_;
  ahead_ = blocks_ ? blocks_ + BLOCK : nullptr;
  // Without its blocks nothing can be read: as a file that ends at once.
  atEnd_ = !blocks_;
  return true;
}

// The job: one block from where the last read ended, hashed as it came.
// After a read that failed the file's own position is not trusted: it is
// set anew.
void ContainerInput::ReadBlock(void* self) {
  ContainerInput& in = *static_cast<ContainerInput*>(self);
  if (in.failed_) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(in.offset_);
    SetFilePointerEx(in.file_, at, nullptr, FILE_BEGIN);
  }
  std::size_t got = 0;
  bool failed = false;
  while (got < BLOCK) {
    DWORD done = 0;
    if (!ReadFile(in.file_, in.ahead_ + got, static_cast<DWORD>(BLOCK - got), &done, nullptr)) {
      failed = true;
      break;
    }
    if (done == 0) break;
    got += done;
  }
  if (in.hashed_ && got) in.hash_.Update(in.ahead_, got);
  in.offset_ += got;
  in.got_ = got;
  in.failed_ = failed;
  in.atEnd_ = !failed && got < BLOCK;
}

void ContainerInput::Post() {
  posted_ = true;
  worker_.Post(ReadBlock, this);
}

void ContainerInput::Wait() {
  if (!posted_) return;
  worker_.Finish();
  posted_ = false;
}

// The block read ahead becomes the one handed out, and the next read goes
// out into the other, unless the file ended or a read failed.
bool ContainerInput::NextBlock() {
  if (!posted_) {
    if (atEnd_ || failed_ || file_ == INVALID_HANDLE_VALUE) return false;
    Post();
  }
  Wait();
  std::uint8_t* handedOut = ahead_;
  ahead_ = current_;
  current_ = handedOut;
  position_ = 0;
  length_ = got_;
  if (!atEnd_ && !failed_) Post();
  return length_ > 0;
}

std::size_t ContainerInput::Read(std::uint8_t* to, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (position_ == length_ && !NextBlock()) break;
    std::size_t piece = length_ - position_;
    if (piece > count - done) piece = count - done;
    std::memcpy(to + done, current_ + position_, piece);
    position_ += piece;
    done += piece;
  }
  return done;
}

bool ContainerInput::ReadToEnd() {
  Wait();
  position_ = length_;
  // What the last read brought is read (and hashed) already. A read that
  // had failed is tried once more: the bytes then come in their order.
  bool retried = false;
  while (!atEnd_) {
    if (failed_) {
      if (retried) return false;
      retried = true;
    }
    ReadBlock(this);
  }
  return true;
}

bool ContainerInput::Matches(const std::uint8_t expected[SHA256_DIGEST_SIZE]) {
  Wait();
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash_.Final(digest);
  return std::memcmp(digest, expected, SHA256_DIGEST_SIZE) == 0;
}
