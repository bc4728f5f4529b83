#include "lzss.h"

#include <cstdlib>

TLZSS::TLZSS(int progressEnabled)
    // Zero-filled, so that ring entries the steps never set hold the same
    // bytes on every run.
    : RingBuffer(static_cast<std::uint8_t*>(std::calloc(RING_ARRAY_SIZE, 1))),
      MatchPosition(0),
      MatchLength(0),
      LeftChild(static_cast<std::int32_t*>(std::calloc(LEFT_CHILD_SIZE, sizeof(std::int32_t)))),
      RightChild(static_cast<std::int32_t*>(std::calloc(RIGHT_CHILD_SIZE, sizeof(std::int32_t)))),
      Parent(static_cast<std::int32_t*>(std::calloc(PARENT_SIZE, sizeof(std::int32_t)))),
      UnpackedSize(0),
      PackedSize(0),
      ConsumedCount(0),
      ProgressCount(0),
      ProgressEnabled(progressEnabled),
      InputStream(nullptr),
      OutputStream(nullptr) {}

TLZSS::~TLZSS() {
  std::free(RingBuffer);
  std::free(LeftChild);
  std::free(RightChild);
  std::free(Parent);
  if (InputStream) std::fclose(InputStream);
  if (OutputStream) std::fclose(OutputStream);
}

void TLZSS::Progress(std::uint32_t, std::uint32_t) {}

bool TLZSS::HasArrays() const { return RingBuffer && LeftChild && RightChild && Parent; }

static bool OpenStream(FILE*& field, const char* path, const char* mode, std::int32_t offset) {
  if (field) {
    std::fclose(field);
    field = nullptr;
  }
  if (!path) return false;
  field = std::fopen(path, mode);
  if (!field) return false;
  std::setvbuf(field, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
  if (offset != -1) std::fseek(field, offset, SEEK_SET);
  return true;
}

bool TLZSS::OpenInput(const char* path, std::int32_t offset) {
  return OpenStream(InputStream, path, "rb", offset);
}

bool TLZSS::OpenOutput(const char* path, std::int32_t offset) {
  return OpenStream(OutputStream, path, "wb+", offset);
}
