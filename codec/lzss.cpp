#include "lzss.h"

#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

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
  std::free(DecodeBuffers);
  if (InputStream) std::fclose(InputStream);
  if (OutputStream) std::fclose(OutputStream);
}

void TLZSS::Progress(std::uint32_t, std::uint32_t) {}

bool TLZSS::HasArrays() const { return RingBuffer && LeftChild && RightChild && Parent; }

#ifdef _WIN32

// A file that does not exist yet, made new, open to be written and read, as
// "wb+" would make it; null when the name exists or the file cannot be made.
//
// Made this way, not with "wb+": Wine gives every file that it opens with
// CREATE_ALWAYS a truncation to nothing, new or not, and ext4 answers a file
// cut to nothing by starting its write-back when the file is closed, which
// for a large member held up the next member and the installer's start by
// tens of milliseconds. Windows itself makes the same file either way.
static FILE* CreateNewFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_RDWR | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, "w+b");
  if (!stream) _close(descriptor);
  return stream;
}

#else

static FILE* CreateNewFile(const char*) { return nullptr; }

#endif

static bool OpenStream(FILE*& field, const char* path, const char* mode, std::int32_t offset) {
  if (field) {
    std::fclose(field);
    field = nullptr;
  }
  if (!path) return false;
  // Writing: a new file when there is none by the name, otherwise the one
  // there, emptied.
  if (mode[0] == 'w') field = CreateNewFile(path);
  if (!field) field = std::fopen(path, mode);
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
