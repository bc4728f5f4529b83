#include "stream_position.h"

std::int64_t StreamTell(FILE* stream) {
#ifdef _WIN32
  return _ftelli64(stream);
#else
  return ftello(stream);
#endif
}

bool StreamSeek(FILE* stream, std::int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(stream, offset, origin) == 0;
#else
  return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
#endif
}
