#include "stream_write.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

int FlushedDescriptor(FILE* stream) {
  if (std::fflush(stream) != 0) return -1;
#ifdef _WIN32
  return _fileno(stream);
#else
  return fileno(stream);
#endif
}

std::size_t WriteDescriptor(int descriptor, const void* data, std::size_t size) {
  const char* next = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
#ifdef _WIN32
    const int written = _write(descriptor, next + done, static_cast<unsigned>(size - done));
#else
    const ssize_t written = write(descriptor, next + done, size - done);
    if (written < 0 && errno == EINTR) continue;
#endif
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  return done;
}
