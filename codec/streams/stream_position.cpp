#include "stream_position.h"

#ifdef _WIN32
#include <io.h>

// The msvcrt.dll of Windows XP has no _fseeki64 or _ftelli64; its fpos_t is
// the 64-bit byte position, and fgetpos, fsetpos and _filelengthi64 are
// there on every Windows.

std::int64_t StreamTell(FILE* stream) {
  fpos_t position;
  if (std::fgetpos(stream, &position) != 0) return -1;
  return static_cast<std::int64_t>(position);
}

bool StreamSeek(FILE* stream, std::int64_t offset, int origin) {
  fpos_t position;
  if (origin == SEEK_SET) {
    position = offset;
  } else if (origin == SEEK_CUR) {
    if (std::fgetpos(stream, &position) != 0) return false;
    position += offset;
  } else if (origin == SEEK_END) {
    // The file's length counts the stream's buffered bytes only once they
    // are written.
    if (std::fflush(stream) != 0) return false;
    std::int64_t length = _filelengthi64(_fileno(stream));
    if (length < 0) return false;
    position = length + offset;
  } else {
    return false;
  }
  if (position < 0) return false;
  return std::fsetpos(stream, &position) == 0;
}

#else

std::int64_t StreamTell(FILE* stream) { return ftello(stream); }

bool StreamSeek(FILE* stream, std::int64_t offset, int origin) {
  return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
}

#endif
